#include "cli/EventJson.h"

#include <QJsonArray>

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

QJsonValue orNull(const std::optional<QString>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

/// "2026-09-02T14:00:00+08:00": local wall-clock time and the offset in force at that instant.
QString localDateTime(const QDateTime& instant) {
    const QDateTime local = instant.toLocalTime();
    return local.toString(u"yyyy-MM-ddTHH:mm:ss"_s) +
           ExtractedEvent::offsetText(local.offsetFromUtc());
}

}  // namespace

QJsonObject eventsJson(const QList<ExtractedEvent>& events) {
    QJsonArray list;
    for (const ExtractedEvent& event : events) {
        QJsonObject origins;
        for (auto it = event.fieldOrigins.begin(); it != event.fieldOrigins.end(); ++it) {
            origins.insert(QLatin1String(caseName(it.key())), rawValue(it.value()));
        }
        const QDate until = event.recurrenceEnd ? event.recurrenceEnd->until : QDate();
        const int count = event.recurrenceEnd ? event.recurrenceEnd->count : 0;
        list.append(QJsonObject{
            {u"title"_s, event.title},
            {u"start"_s, localDateTime(event.startDate)},
            {u"end"_s, localDateTime(event.endDate)},
            {u"allDay"_s, event.allDay},
            {u"location"_s, event.location},
            {u"notes"_s, event.notes},
            {u"reminderMinutes"_s,
             event.reminderMinutes ? QJsonValue(*event.reminderMinutes) : QJsonValue()},
            {u"recurrence"_s, orNull(event.recurrence)},
            {u"recurrenceInterval"_s, event.recurrenceInterval},
            {u"recurrenceUntil"_s, until.isValid() ? QJsonValue(until.toString(Qt::ISODate))
                                                   : QJsonValue(QJsonValue::Null)},
            {u"recurrenceCount"_s, count > 0 ? QJsonValue(count) : QJsonValue(QJsonValue::Null)},
            {u"availability"_s, orNull(event.availability)},
            {u"sourceText"_s, event.sourceText},
            {u"fieldOrigins"_s, origins},
        });
    }
    return QJsonObject{{u"events"_s, list}};
}

QJsonObject receiptJson(const WriteReceipt& receipt) {
    QJsonArray failures;
    for (const WriteFailure& failure : receipt.failures) {
        failures.append(
            QJsonObject{{u"title"_s, failure.eventTitle}, {u"reason"_s, failure.reasonCode}});
    }
    return QJsonObject{
        {u"calendar"_s,
         QJsonObject{{u"id"_s, receipt.calendar.id}, {u"title"_s, receipt.calendar.title}}},
        {u"created"_s, QJsonArray::fromStringList(receipt.createdEventIDs)},
        {u"failures"_s, failures},
    };
}

QJsonArray changesJson(const QList<EventChange>& changes, const WriteReceipt& receipt) {
    QJsonArray list;
    for (const EventChange& change : changes) {
        QString outcome = change.cancels ? u"cancelled"_s : u"moved"_s;
        for (const WriteFailure& failure : receipt.failures) {
            if (failure.uid == change.uid) outcome = failure.reasonCode;
        }
        list.append(QJsonObject{{u"title"_s, change.event.title}, {u"outcome"_s, outcome}});
    }
    return list;
}

QJsonObject calendarCheckJson(const QList<ExtractedEvent>& events,
                              const std::optional<CalendarComparison>& comparison) {
    if (!comparison) return QJsonObject{{u"checked"_s, false}};
    QJsonArray list;
    for (qsizetype i = 0; i < events.size(); ++i) {
        const CalendarMatch& match = comparison->matches.at(i);
        QJsonObject entry{{u"title"_s, events[i].title},
                          {u"relation"_s, QLatin1String(caseName(match.relation))}};
        if (match.existing >= 0) {
            const ExistingEvent& existing = comparison->existing.at(match.existing);
            entry.insert(u"existing"_s, QJsonObject{{u"title"_s, existing.title},
                                                    {u"start"_s, localDateTime(existing.start)}});
        }
        list.append(entry);
    }
    return QJsonObject{{u"checked"_s, true}, {u"events"_s, list}};
}

}  // namespace zorbel
