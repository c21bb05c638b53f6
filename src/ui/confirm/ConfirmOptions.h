#pragma once

#include <QList>
#include <QString>
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

/// The fixed tables, in list order; an entry's position is its index.
const QList<ReminderOption>& reminderOptions();
const QList<RepeatOption>& repeatOptions();
const QList<AvailabilityOption>& availabilityOptions();

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

}  // namespace zorbel::ConfirmOptions
