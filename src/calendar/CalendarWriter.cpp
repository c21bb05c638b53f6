#include "calendar/CalendarWriter.h"

#include <QUrl>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/ICalendarMapping.h"
#include "calendar/VdirCalendarStore.h"
#include "support/AppLogger.h"

namespace zorbel {

CalendarWriter::CalendarWriter(std::shared_ptr<CalendarStoreProtocol> store)
    : m_store(std::move(store)) {}

CalendarWriter::CalendarWriter(std::shared_ptr<Preferences> preferences,
                               std::shared_ptr<CredentialStoring> credentials)
    : m_preferences(std::move(preferences)), m_credentials(std::move(credentials)) {}

std::shared_ptr<CalendarStoreProtocol> CalendarWriter::store(bool remake) {
    if (m_preferences && (remake || !m_store)) {
        m_store = configuredStore(*m_preferences, m_credentials);
    }
    return m_store;
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
    const std::shared_ptr<CalendarStoreProtocol> listed = store(true);
    co_return co_await listed->writableCalendars();
}

QCoro::Task<WriteReceipt> CalendarWriter::write(QList<ExtractedEvent> events, QString calendarID) {
    QList<EventToWrite> withUids;
    for (ExtractedEvent& event : events) {
        withUids.append({ICalendarMapping::newUid(), std::move(event)});
    }
    return write(std::move(withUids), std::move(calendarID));
}

namespace {

/// Applies `change` through `store`: nothing, or the reason it was not applied.
QCoro::Task<QString> apply(CalendarStoreProtocol& store, QString calendarID, EventChange change) {
    try {
        if (change.cancels) {
            co_await store.cancel(calendarID, change.existing);
        } else {
            co_await store.move(calendarID, change.existing, change.event);
        }
        co_return QString();
    } catch (const CalendarStoreError& error) {
        if (error.kind() == CalendarStoreError::Kind::changed) co_return QStringLiteral("changed");
        if (error.kind() == CalendarStoreError::Kind::notFound) co_return QStringLiteral("gone");
    } catch (const std::exception&) {
    }
    co_return QStringLiteral("save");
}

}  // namespace

QCoro::Task<WriteReceipt> CalendarWriter::write(QList<EventToWrite> events, QString calendarID,
                                                QList<EventChange> changes) {
    // Keeps the store alive for the whole batch even if the settings change meanwhile.
    const std::shared_ptr<CalendarStoreProtocol> store = this->store();
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

    WriteReceipt receipt{target, {}, {}, {}, {}};
    for (const EventChange& change : changes) {
        const QString refused = co_await apply(*store, target.id, change);
        if (refused.isEmpty()) {
            receipt.changedEventIDs.append(change.uid);
        } else {
            receipt.failures.append({change.event.title, refused, change.uid});
        }
    }
    for (const EventToWrite& pending : events) {
        try {
            receipt.createdEventIDs.append(
                co_await store->save(pending.event, target.id, pending.uid));
        } catch (const std::exception&) {
            receipt.failures.append({pending.event.title, QStringLiteral("save"), pending.uid});
        }
    }
    AppLogger::shared().record(AppLogEvent::calendarWrite(
        receipt.createdEventIDs.size() + receipt.changedEventIDs.size(), receipt.failures.size()));
    receipt.createdAt = QDateTime::currentDateTimeUtc();
    co_return receipt;
}

QCoro::Task<std::optional<CalendarComparison>> CalendarWriter::compare(QList<ExtractedEvent> events,
                                                                       QString calendarID) {
    if (events.isEmpty()) co_return CalendarComparison{};
    const std::shared_ptr<CalendarStoreProtocol> store = this->store();
    const EventMatching::Range range = EventMatching::readingRange(events);
    CalendarComparison comparison;
    try {
        comparison.existing = co_await store->eventsBetween(calendarID, range.from, range.to);
    } catch (const std::exception&) {
        AppLogger::shared().record(
            AppLogEvent::failure(QStringLiteral("calendarCheckUnavailable")));
        co_return std::nullopt;
    }
    comparison.matches = EventMatching::classify(events, comparison.existing);
    co_return comparison;
}

}  // namespace zorbel
