#include "ui/confirm/ConfirmOptions.h"

#include <algorithm>
#include <iterator>

#include "ui/confirm/ConfirmText.h"

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
        {std::nullopt, ConfirmText::tr("无")}, {0, ConfirmText::tr("准时")},
        {5, ConfirmText::tr("提前5分钟")},     {10, ConfirmText::tr("提前10分钟")},
        {30, ConfirmText::tr("提前30分钟")},   {60, ConfirmText::tr("提前1小时")},
        {120, ConfirmText::tr("提前2小时")},   {1440, ConfirmText::tr("提前1天")},
    };
    return options;
}

const QList<RepeatOption>& repeatOptions() {
    static const QList<RepeatOption> options{
        {std::nullopt, ConfirmText::tr("不重复")},
        {QStringLiteral("daily"), ConfirmText::tr("每天")},
        {QStringLiteral("weekly"), ConfirmText::tr("每周")},
        {QStringLiteral("monthly"), ConfirmText::tr("每月")},
        {QStringLiteral("yearly"), ConfirmText::tr("每年")},
    };
    return options;
}

const QStringList& repeatEndTitles() {
    static const QStringList titles{ConfirmText::tr("永不"), ConfirmText::tr("截止日期"),
                                    ConfirmText::tr("重复次数")};
    return titles;
}

QString intervalUnit(qsizetype repeatIndex, int interval) {
    static const char* const units[] = {
        nullptr, QT_TRANSLATE_N_NOOP("ConfirmText", "天"), QT_TRANSLATE_N_NOOP("ConfirmText", "周"),
        QT_TRANSLATE_N_NOOP("ConfirmText", "月"), QT_TRANSLATE_N_NOOP("ConfirmText", "年")};
    if (!inTable(repeatIndex, qsizetype(std::size(units))) || !units[repeatIndex]) return {};
    return ConfirmText::tr(units[repeatIndex], nullptr, interval);
}

const QList<AvailabilityOption>& availabilityOptions() {
    static const QList<AvailabilityOption> options{
        {QStringLiteral("busy"), ConfirmText::tr("忙碌")},
        {QStringLiteral("free"), ConfirmText::tr("空闲")},
        {QStringLiteral("tentative"), ConfirmText::tr("暂定")},
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
