#include "calendar/CalendarWriter.h"

#include <QMutex>
#include <QUrl>

#include "app/AppLogger.h"
#include "calendar/CalDavCalendarStore.h"
#include "calendar/VdirCalendarStore.h"

namespace zorbel {

namespace {

struct SharedState {
    QMutex mutex;
    std::shared_ptr<CalendarWriter> writer;
    std::shared_ptr<CredentialStoring> credentials;
};

SharedState& sharedState() {
    static SharedState state;
    return state;
}

}  // namespace

CalendarWriter::CalendarWriter(std::shared_ptr<CalendarStoreProtocol> store)
    : m_store(std::move(store)) {}

std::shared_ptr<CalendarWriter> CalendarWriter::shared() {
    SharedState& state = sharedState();
    const QMutexLocker lock(&state.mutex);
    if (!state.writer) {
        state.writer = std::make_shared<CalendarWriter>(
            configuredStore(*Preferences::standard(), state.credentials));
    }
    return state.writer;
}

void CalendarWriter::setShared(std::shared_ptr<CalendarWriter> writer) {
    SharedState& state = sharedState();
    const QMutexLocker lock(&state.mutex);
    state.writer = std::move(writer);
}

void CalendarWriter::setCredentials(std::shared_ptr<CredentialStoring> credentials) {
    SharedState& state = sharedState();
    const QMutexLocker lock(&state.mutex);
    state.credentials = std::move(credentials);
}

std::shared_ptr<CalendarStoreProtocol> CalendarWriter::configuredStore(
    const Preferences& preferences, std::shared_ptr<CredentialStoring> credentials) {
    if (preferences.string(QStringLiteral("calendar.store")) == u"caldav") {
        return std::make_shared<CalDavCalendarStore>(
            QUrl(preferences.string(QStringLiteral("calendar.caldav.url")).value_or(QString())),
            preferences.string(QStringLiteral("calendar.caldav.user")).value_or(QString()),
            std::move(credentials));
    }
    return std::make_shared<VdirCalendarStore>();
}

QCoro::Task<QList<CalendarChoice>> CalendarWriter::writableCalendars() {
    co_return co_await m_store->writableCalendars();
}

QCoro::Task<WriteReceipt> CalendarWriter::write(QList<ExtractedEvent> events, QString calendarID) {
    // Keeps the store alive for the whole batch even if the shared writer is replaced.
    const std::shared_ptr<CalendarStoreProtocol> store = m_store;
    if (!co_await store->hasFullAccess()) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("calendarUnauthorized")));
        throw CalendarStoreError(CalendarStoreError::Kind::notFound);
    }
    const QList<CalendarChoice> calendars = co_await store->writableCalendars();
    if (calendars.isEmpty()) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("noWritableCalendar")));
        throw CalendarStoreError(CalendarStoreError::Kind::notFound);
    }
    const auto chosen = std::find_if(calendars.begin(), calendars.end(),
                                     [&](const CalendarChoice& c) { return c.id == calendarID; });
    const CalendarChoice target = chosen == calendars.end() ? calendars.first() : *chosen;

    WriteReceipt receipt{target, {}, {}, {}};
    for (const ExtractedEvent& event : events) {
        try {
            receipt.createdEventIDs.append(co_await store->save(event, target.id));
        } catch (const std::exception&) {
            receipt.failures.append({event.title, QStringLiteral("save")});
        }
    }
    AppLogger::shared().record(
        AppLogEvent::calendarWrite(receipt.createdEventIDs.size(), receipt.failures.size()));
    receipt.createdAt = QDateTime::currentDateTimeUtc();
    co_return receipt;
}

}  // namespace zorbel
