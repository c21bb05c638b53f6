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

/// The reason code of a change or an undo that failed with `error`.
QString reasonOf(const std::exception& error) {
    if (const auto* store = dynamic_cast<const CalendarStoreError*>(&error)) {
        if (store->kind() == CalendarStoreError::Kind::changed) return QStringLiteral("changed");
        if (store->kind() == CalendarStoreError::Kind::notFound) return QStringLiteral("gone");
    }
    return QStringLiteral("save");
}

/// Applies `change` through `store`.
QCoro::Task<StoredObject> apply(CalendarStoreProtocol& store, QString calendarID,
                                EventChange change) {
    if (change.cancels) co_return co_await store.cancel(calendarID, change.existing);
    co_return co_await store.move(calendarID, change.existing, change.event);
}

/// Takes `object` back through `store`: removes what the write made, puts back what it changed.
QCoro::Task<void> takeBack(CalendarStoreProtocol& store, QString calendarID, StoredObject object) {
    if (object.previous.isEmpty()) {
        ExistingEvent made;
        made.uid = object.uid;
        made.resource = object.resource;
        made.etag = object.etag;
        co_await store.cancel(calendarID, made);
    } else {
        co_await store.restore(calendarID, object.resource, object.previous, object.etag);
    }
}

}  // namespace

QCoro::Task<WriteReceipt> CalendarWriter::write(QList<EventToWrite> events, QString calendarID,
                                                QList<EventChange> changes, bool continuesLast) {
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
    WriteRecord record{store->location(), target.id, {}, {}};
    if (continuesLast) {
        const std::optional<WriteRecord> last = undoable();
        if (last && last->calendarID == target.id) record.objects = last->objects;
    }
    for (const EventChange& change : changes) {
        try {
            record.objects.append(co_await apply(*store, target.id, change));
            receipt.changedEventIDs.append(change.uid);
        } catch (const std::exception& error) {
            receipt.failures.append({change.event.title, reasonOf(error), change.uid});
        }
    }
    for (const EventToWrite& pending : events) {
        try {
            const StoredObject saved = co_await store->save(pending.event, target.id, pending.uid);
            receipt.createdEventIDs.append(saved.uid);
            record.objects.append(saved);
        } catch (const std::exception&) {
            receipt.failures.append({pending.event.title, QStringLiteral("save"), pending.uid});
        }
    }
    AppLogger::shared().record(AppLogEvent::calendarWrite(
        receipt.createdEventIDs.size() + receipt.changedEventIDs.size(), receipt.failures.size()));
    receipt.createdAt = QDateTime::currentDateTimeUtc();
    if (!record.objects.isEmpty()) {
        record.writtenAt = receipt.createdAt;
        if (!WriteJournal::store(record)) {
            AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("writeJournal")));
        }
    }
    co_return receipt;
}

std::optional<WriteRecord> CalendarWriter::undoable(QDateTime now) {
    std::optional<WriteRecord> record = WriteJournal::load();
    if (!record || record->storeLocation != store()->location()) return std::nullopt;
    const qint64 age = record->writtenAt.secsTo(now);
    if (age < 0 || age > std::chrono::seconds(WriteJournal::kUndoWindow).count()) {
        return std::nullopt;
    }
    return record;
}

QCoro::Task<std::optional<UndoReceipt>> CalendarWriter::undo() {
    std::optional<WriteRecord> record = undoable();
    if (!record) co_return std::nullopt;
    const std::shared_ptr<CalendarStoreProtocol> store = this->store();
    UndoReceipt receipt;
    QList<StoredObject> again;
    for (auto object = record->objects.crbegin(); object != record->objects.crend(); ++object) {
        try {
            co_await takeBack(*store, record->calendarID, *object);
            ++receipt.undone;
        } catch (const std::exception& error) {
            const QString reason = reasonOf(error);
            receipt.left.append({QString(), reason, object->uid});
            if (reason == u"save") again.prepend(*object);
        }
    }
    record->objects = again;
    if (again.isEmpty()) {
        WriteJournal::clear();
    } else {
        WriteJournal::store(*record);
    }
    if (!receipt.left.isEmpty()) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("undoIncomplete")));
    }
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
