#pragma once

#include <memory>

#include "calendar/CalendarStoreProtocol.h"
#include "calendar/EventMatching.h"
#include "calendar/WriteJournal.h"
#include "core/CredentialStoring.h"
#include "support/Preferences.h"

namespace zorbel {

/// Candidates set against what their calendar holds around them.
struct CalendarComparison {
    QList<ExistingEvent> existing;  ///< what was read
    QList<CalendarMatch> matches;   ///< one per candidate, in order, indexing `existing`
};

/// What taking back the last write did.
struct UndoReceipt {
    qint64 undone = 0;         ///< objects put back as they were before the write
    QList<WriteFailure> left;  ///< by UID, no title: "changed" (edited since), "gone" or "save"
    bool operator==(const UndoReceipt&) const = default;
};

/// Turns confirmed events into calendar entries through one store, one event after another.
/// Two overlapping writes each give their own receipt. The last write that changed anything is
/// recorded in the WriteJournal, so that `undo` can take it back.
class CalendarWriter {
public:
    /// Writes through `store` for good.
    explicit CalendarWriter(std::shared_ptr<CalendarStoreProtocol> store);
    /// Writes through the `configuredStore` of `preferences`, made again at each listing of the
    /// calendars, so calendar settings saved since (store, address, user, password) hold from the
    /// next capture on.
    CalendarWriter(std::shared_ptr<Preferences> preferences,
                   std::shared_ptr<CredentialStoring> credentials);

    /// The store the preference "calendar.store" names: "caldav" gives the CalDAV store of
    /// "calendar.caldav.url" and "calendar.caldav.user"; anything else, or nothing, the local
    /// vdir store.
    static std::shared_ptr<CalendarStoreProtocol> configuredStore(
        const Preferences& preferences, std::shared_ptr<CredentialStoring> credentials);

    /// The store the next write goes through; `remake` makes a configured one again first.
    std::shared_ptr<CalendarStoreProtocol> store(bool remake = false);

    /// The store's writable calendars, unchanged; its error is passed on.
    QCoro::Task<QList<CalendarChoice>> writableCalendars();

    /// Saves `events` in order into the calendar `calendarID` (the first writable calendar when
    /// that one is gone). Throws CalendarStoreError::notFound, logged as "calendarUnauthorized"
    /// when the store is not fully accessible and as "noWritableCalendar" when it lists no
    /// calendar; passes on the store's listing error. A failing event becomes a WriteFailure
    /// ("save") and the batch goes on; nothing saved is rolled back. Logs `calendarWrite`.
    /// `changes` are applied first, each through the store's `move` or `cancel`; one that fails
    /// becomes a WriteFailure ("changed", "gone" or "save") and the batch goes on.
    /// `continuesLast`: the batch retries part of the last one (to the same calendar), and an
    /// undo takes both back together.
    QCoro::Task<WriteReceipt> write(QList<EventToWrite> events, QString calendarID,
                                    QList<EventChange> changes = {}, bool continuesLast = false);
    /// The same, each event under a new UID.
    QCoro::Task<WriteReceipt> write(QList<ExtractedEvent> events, QString calendarID);

    /// The record of the last write when it can still be undone: made through this store,
    /// within WriteJournal::kUndoWindow of `now`.
    std::optional<WriteRecord> undoable(QDateTime now = QDateTime::currentDateTimeUtc());
    /// Takes back the last write, newest object first: a made event is removed, a moved or
    /// cancelled one is put back, each only over the version the write left, so that one edited
    /// elsewhere since is left alone (and reported). Objects the store could not be reached for
    /// stay in the record for another try. Nothing when there is nothing to undo. Never throws.
    QCoro::Task<std::optional<UndoReceipt>> undo();

    /// Reads the calendar `calendarID` around `events` and classifies them; nothing (logged as
    /// "calendarCheckUnavailable") when the store will not say or cannot be reached, so the
    /// events are written without the check. Never throws.
    QCoro::Task<std::optional<CalendarComparison>> compare(QList<ExtractedEvent> events,
                                                           QString calendarID);

private:
    std::shared_ptr<Preferences> m_preferences;
    std::shared_ptr<CredentialStoring> m_credentials;
    std::shared_ptr<CalendarStoreProtocol> m_store;
};

}  // namespace zorbel
