#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include "core/ExtractedEvent.h"

namespace zorbel {

/// Reads events out of Chinese and English text with word lists and rules, no model: days,
/// weekdays, clock times, ranges, zones, holidays, deadlines, places, reminders and weekly
/// repetition. Field origins say what the text states ("source"), what was worked out from
/// `now` ("inferred", such as the year or the day of 下周三) and what was made up ("default",
/// such as a one-hour end).
class RuleEngine {
public:
    /// The events of `text`, read as if it were `now` in `zone` (the user's zone: times written
    /// without a zone are wall-clock times there). Instants come back in UTC.
    static QList<ExtractedEvent> extract(const QString& text, const QDateTime& now,
                                         const QTimeZone& zone);
    /// The title of an event whose clause says nothing but its time.
    static QString defaultTitle();
};

}  // namespace zorbel
