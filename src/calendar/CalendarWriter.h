#pragma once

#include <memory>

#include "calendar/CalendarStoreProtocol.h"
#include "llm/CredentialStoring.h"
#include "support/Preferences.h"

namespace zorbel {

/// Turns confirmed events into calendar entries through one store, one event after another.
/// Keeps no record of past writes; two overlapping writes each give their own receipt.
class CalendarWriter {
public:
    explicit CalendarWriter(std::shared_ptr<CalendarStoreProtocol> store);

    /// The process-wide writer, made on first use over `configuredStore` of the standard
    /// preferences and the credential store given to `setCredentials` (none: no password).
    static std::shared_ptr<CalendarWriter> shared();
    /// Replaces the process-wide writer (tests, start-up); nullptr makes `shared()` remake it.
    static void setShared(std::shared_ptr<CalendarWriter> writer);
    /// The secret store the CalDAV store of `shared()` reads its password from.
    static void setCredentials(std::shared_ptr<CredentialStoring> credentials);

    /// The store the preference "calendar.store" names: "caldav" gives the CalDAV store of
    /// "calendar.caldav.url" and "calendar.caldav.user"; anything else, or nothing, the local
    /// vdir store.
    static std::shared_ptr<CalendarStoreProtocol> configuredStore(
        const Preferences& preferences, std::shared_ptr<CredentialStoring> credentials);

    const std::shared_ptr<CalendarStoreProtocol>& store() const { return m_store; }

    /// The store's writable calendars, unchanged; its error is passed on.
    QCoro::Task<QList<CalendarChoice>> writableCalendars();

    /// Saves `events` in order into the calendar `calendarID` (the first writable calendar when
    /// that one is gone). Throws CalendarStoreError::notFound, logged as "calendarUnauthorized"
    /// when the store is not fully accessible and as "noWritableCalendar" when it lists no
    /// calendar; passes on the store's listing error. A failing event becomes a WriteFailure
    /// ("save") and the batch goes on; nothing saved is rolled back. Logs `calendarWrite`.
    QCoro::Task<WriteReceipt> write(QList<ExtractedEvent> events, QString calendarID);

private:
    std::shared_ptr<CalendarStoreProtocol> m_store;
};

}  // namespace zorbel
