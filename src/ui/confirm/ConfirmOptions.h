#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/ExtractedEvent.h"

namespace zorbel::ConfirmOptions {

/// One entry of the reminder list: lead time before the start in minutes (none for "无").
struct ReminderOption {
    std::optional<qint64> minutes;
    QString title;
};
/// One entry of the repeat list: the value stored in `recurrence` (none for "不重复").
struct RepeatOption {
    std::optional<QString> value;
    QString title;
};
/// One entry of the availability list: the value stored in `availability`.
struct AvailabilityOption {
    QString value;
    QString title;
};

/// How a repeat ends, in the order of the panel's list: "永不", "截止日期" (a last day),
/// "重复次数" (a number of occurrences).
enum class RepeatEnd { never, onDay, afterCount };

/// The fixed tables, in list order; an entry's position is its index.
const QList<ReminderOption>& reminderOptions();
const QList<RepeatOption>& repeatOptions();
const QList<AvailabilityOption>& availabilityOptions();

/// The repeat-end list: one title for each RepeatEnd, in its order.
const QStringList& repeatEndTitles();
/// The unit after the interval for a repeat list index: "天", "周", "月", "年" (singular or
/// plural for `interval` where the language has both), or "" for "不重复" and an index outside
/// the table.
QString intervalUnit(qsizetype repeatIndex, int interval);

/// The list item to select for an event's values. A value missing from a table selects index 0
/// ("无", "不重复", "忙碌").
qsizetype reminderIndex(const ExtractedEvent& event);
qsizetype repeatIndex(const ExtractedEvent& event);
qsizetype availabilityIndex(const ExtractedEvent& event);

/// The panel's tag of a reminder item: its minutes, -1 for "无".
qint64 reminderTag(qsizetype index);

/// Saving the selected items back into the event. A negative reminder tag means no reminder;
/// a repeat or availability index outside its table gives none.
void applyReminderTag(ExtractedEvent& event, qint64 tag);
void applyRepeatIndex(ExtractedEvent& event, qsizetype index);
void applyAvailabilityIndex(ExtractedEvent& event, qsizetype index);

/// How the event's repeat ends as the panel shows it (`never` without a repeat).
RepeatEnd repeatEnd(const ExtractedEvent& event);
/// Saving the interval and end the panel shows into an event whose `recurrence` is already
/// saved: `interval` is brought into [1, 999], `count` too; `until` is used for `onDay` and
/// `count` for `afterCount`. An event that does not repeat keeps interval 1 and no end.
void applyRepeatDetails(ExtractedEvent& event, int interval, RepeatEnd end, const QDate& until,
                        int count);

}  // namespace zorbel::ConfirmOptions
