#pragma once

#include <qcoro/qcorotask.h>
#include <QList>
#include <QString>

#include "calendar/CalendarTypes.h"
#include "calendar/EventMatching.h"
#include "core/ExtractedEvent.h"

namespace zorbel {

/// The only way the program touches a calendar. Operations are coroutines on the caller's
/// thread (the GUI thread); they are awaited one after another, never overlapping on one store.
class CalendarStoreProtocol {
public:
    virtual ~CalendarStoreProtocol() = default;

    /// Whether the program has full access to the store (a local root it can read and write, a
    /// server that answers). Stores without such a notion keep the default: true. Never throws.
    virtual QCoro::Task<bool> hasFullAccess() { co_return true; }

    /// The calendars events may be written to, in the store's order; empty is not an error.
    /// Throws the store's error (CalendarStoreError, NetworkError) when it cannot list them.
    virtual QCoro::Task<QList<CalendarChoice>> writableCalendars() = 0;

    /// Where the store keeps its calendars (the vdir root, the CalDAV address), so that a record
    /// of a write can tell whether this store is the one it was made through.
    virtual QString location() const = 0;

    /// Saves one event into the calendar `calendarID` under `uid` (a new one when empty), as the
    /// object `<uid>.ics`, and returns what it stored. An event of that UID already in the
    /// calendar counts as saved: it is the same write tried again. Throws CalendarStoreError:
    /// notFound when no calendar has that identifier, saveFailed when the store refuses or cannot
    /// be reached. Each save commits on its own.
    virtual QCoro::Task<StoredObject> save(ExtractedEvent event, QString calendarID,
                                           QString uid = {}) = 0;

    /// The events of the calendar `calendarID` that share time with [`from`, `to`), repeating
    /// ones expanded into occurrences, in no particular order. Throws CalendarStoreError:
    /// notFound when no calendar has that identifier, readFailed when the store cannot be read
    /// or will not say; NetworkError when a server cannot be reached.
    virtual QCoro::Task<QList<ExistingEvent>> eventsBetween(QString calendarID, QDateTime from,
                                                            QDateTime to) = 0;

    /// Moves `existing` (as `eventsBetween` read it; not an occurrence of a repeating event) to
    /// the start and end of `moved`, keeping its UID and all else it holds, its SEQUENCE one
    /// higher (ICalendarMapping::movedObject). Written only over the version read: throws
    /// CalendarStoreError changed when it changed since, notFound when it is gone, saveFailed
    /// when the store refuses or cannot be reached.
    virtual QCoro::Task<StoredObject> move(QString calendarID, ExistingEvent existing,
                                           ExtractedEvent moved) = 0;
    /// Removes `existing` from the calendar, on the same terms; a CalDAV server that refuses
    /// to delete gets it marked STATUS:CANCELLED instead.
    virtual QCoro::Task<StoredObject> cancel(QString calendarID, ExistingEvent existing) = 0;

    /// Puts `content` back as the object `resource` of the calendar: over the version `etag`,
    /// or, when `etag` is empty, only where no such object is. Returns the version written.
    /// Throws CalendarStoreError changed when the object is another version (or is there
    /// though `etag` is empty), notFound when it is gone, saveFailed when the store refuses or
    /// cannot be reached.
    virtual QCoro::Task<QString> restore(QString calendarID, QString resource, QByteArray content,
                                         QString etag) = 0;
};

}  // namespace zorbel
