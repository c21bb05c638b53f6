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
    /// A piece of text the rules read as a day or time and left out, and the rule that did.
    struct Drop {
        QString rule;  ///< "stamp", "choices", "day named again", …
        QString text;  ///< the clause, or the left-out event's title and day
    };

    /// The events of `text`, read as if it were `now` in `zone` (the user's zone: times written
    /// without a zone are wall-clock times there). Instants come back in UTC. What was read and
    /// left out goes to `dropped` when given.
    static QList<ExtractedEvent> extract(const QString& text, const QDateTime& now,
                                         const QTimeZone& zone, QList<Drop>* dropped = nullptr);
    /// The title of an event whose clause says nothing but its time.
    static QString defaultTitle();
};

}  // namespace zorbel
