#include "ui/confirm/ConfirmOptions.h"

#include <algorithm>

namespace zorbel::ConfirmOptions {

namespace {

/// The position of the first entry whose `field` equals `wanted`, or 0.
template <typename Entry, typename Field, typename Value>
qsizetype indexOf(const QList<Entry>& entries, Field Entry::*field, const Value& wanted) {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const Entry& entry) { return entry.*field == wanted; });
    return found == entries.end() ? 0 : found - entries.begin();
}

bool inTable(qsizetype index, qsizetype size) {
    return index >= 0 && index < size;
}

}  // namespace

const QList<ReminderOption>& reminderOptions() {
    static const QList<ReminderOption> options{
        {std::nullopt, QStringLiteral("无")}, {0, QStringLiteral("准时")},
        {5, QStringLiteral("提前5分钟")},     {10, QStringLiteral("提前10分钟")},
        {30, QStringLiteral("提前30分钟")},   {60, QStringLiteral("提前1小时")},
        {120, QStringLiteral("提前2小时")},   {1440, QStringLiteral("提前1天")},
    };
    return options;
}

const QList<RepeatOption>& repeatOptions() {
    static const QList<RepeatOption> options{
        {std::nullopt, QStringLiteral("不重复")},
        {QStringLiteral("daily"), QStringLiteral("每天")},
        {QStringLiteral("weekly"), QStringLiteral("每周")},
        {QStringLiteral("monthly"), QStringLiteral("每月")},
        {QStringLiteral("yearly"), QStringLiteral("每年")},
    };
    return options;
}

const QStringList& repeatEndTitles() {
    static const QStringList titles{QStringLiteral("永不"), QStringLiteral("截止日期"),
                                    QStringLiteral("重复次数")};
    return titles;
}

QString intervalUnit(qsizetype repeatIndex) {
    static const QStringList units{QString(), QStringLiteral("天"), QStringLiteral("周"),
                                   QStringLiteral("月"), QStringLiteral("年")};
    return inTable(repeatIndex, units.size()) ? units.at(repeatIndex) : QString();
}

const QList<AvailabilityOption>& availabilityOptions() {
    static const QList<AvailabilityOption> options{
        {QStringLiteral("busy"), QStringLiteral("忙碌")},
        {QStringLiteral("free"), QStringLiteral("空闲")},
        {QStringLiteral("tentative"), QStringLiteral("暂定")},
    };
    return options;
}

qsizetype reminderIndex(const ExtractedEvent& event) {
    return indexOf(reminderOptions(), &ReminderOption::minutes, event.reminderMinutes);
}

qsizetype repeatIndex(const ExtractedEvent& event) {
    return indexOf(repeatOptions(), &RepeatOption::value, event.recurrence);
}

qsizetype availabilityIndex(const ExtractedEvent& event) {
    return event.availability
               ? indexOf(availabilityOptions(), &AvailabilityOption::value, *event.availability)
               : 0;
}

qint64 reminderTag(qsizetype index) {
    const auto& options = reminderOptions();
    if (!inTable(index, options.size())) return -1;
    return options.at(index).minutes.value_or(-1);
}

void applyReminderTag(ExtractedEvent& event, qint64 tag) {
    event.reminderMinutes = tag < 0 ? std::nullopt : std::optional<qint64>(tag);
}

void applyRepeatIndex(ExtractedEvent& event, qsizetype index) {
    const auto& options = repeatOptions();
    event.recurrence = inTable(index, options.size()) ? options.at(index).value : std::nullopt;
}

void applyAvailabilityIndex(ExtractedEvent& event, qsizetype index) {
    const auto& options = availabilityOptions();
    event.availability = inTable(index, options.size())
                             ? std::optional<QString>(options.at(index).value)
                             : std::nullopt;
}

RepeatEnd repeatEnd(const ExtractedEvent& event) {
    if (!event.recurrence || !event.recurrenceEnd) return RepeatEnd::never;
    return event.recurrenceEnd->until.isValid() ? RepeatEnd::onDay : RepeatEnd::afterCount;
}

void applyRepeatDetails(ExtractedEvent& event, int interval, RepeatEnd end, const QDate& until,
                        int count) {
    event.recurrenceInterval = event.recurrence ? clampedRecurrenceInterval(interval) : 1;
    event.recurrenceEnd.reset();
    if (!event.recurrence) return;
    if (end == RepeatEnd::onDay && until.isValid()) {
        event.recurrenceEnd = RecurrenceEnd::onDay(until);
    } else if (end == RepeatEnd::afterCount) {
        event.recurrenceEnd = RecurrenceEnd::after(count);
    }
}

}  // namespace zorbel::ConfirmOptions
