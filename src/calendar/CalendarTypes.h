#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "calendar/EventMatching.h"
#include "core/ExtractedEvent.h"
#include "support/Errors.h"

namespace zorbel {

/// One calendar that events may be written to.
struct CalendarChoice {
    QString id;        ///< the store's identifier (vdir folder name, CalDAV collection URL)
    QString title;     ///< display name
    QString colorHex;  ///< "#RRGGBB" upper case, "#888888" when unreadable
    bool operator==(const CalendarChoice&) const = default;
};

/// One calendar object as a write left it, with what it replaced, so that the write can be
/// taken back.
struct StoredObject {
    QString uid;
    QString resource;     ///< where the store holds it, as ExistingEvent::resource
    QString etag;         ///< its version after the write; empty when the write removed it
    QByteArray previous;  ///< the object before the write; empty when the write made it
    bool operator==(const StoredObject&) const = default;
};

/// An event to write under a UID fixed before the first try, so that trying again after a
/// write whose outcome was lost writes it once.
struct EventToWrite {
    QString uid;
    ExtractedEvent event;
};

/// A change the user confirmed to an event the calendar holds: moved to the times of `event`,
/// or cancelled.
struct EventChange {
    QString uid;  ///< the id the receipt gives it (the review's), not the existing event's UID
    bool cancels = false;
    ExistingEvent existing;
    ExtractedEvent event;
};

/// One event that was not written.
struct WriteFailure {
    QString eventTitle;
    QString reasonCode;  ///< "save"; for a change also "changed" (edited since) or "gone"
    QString uid;         ///< the UID it was to be written under
    bool operator==(const WriteFailure&) const = default;
};

/// The outcome of writing a batch of events to one calendar.
struct WriteReceipt {
    CalendarChoice calendar;
    QList<QString> createdEventIDs;  ///< in input order
    QList<WriteFailure> failures;    ///< in input order
    QDateTime createdAt;             ///< when the batch finished
    QList<QString> changedEventIDs;  ///< the changes applied, by their `EventChange::uid`
    bool operator==(const WriteReceipt&) const = default;
};

/// A failing calendar store operation. Carries no message; the capture side maps every
/// calendar error onto one user-facing failure.
class CalendarStoreError : public Error {
public:
    enum class Kind { notFound, saveFailed, readFailed, changed };
    explicit CalendarStoreError(Kind kind) : Error(what(kind)), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    static const char* what(Kind kind) {
        switch (kind) {
            case Kind::notFound:
                return "calendar notFound";
            case Kind::saveFailed:
                return "calendar saveFailed";
            case Kind::readFailed:
                return "calendar readFailed";
            case Kind::changed:
                return "calendar changed";
        }
        return "calendar";
    }
    Kind m_kind;
};

}  // namespace zorbel
