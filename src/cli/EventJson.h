#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include "calendar/CalendarTypes.h"
#include "calendar/CalendarWriter.h"
#include "core/ExtractedEvent.h"

namespace zorbel {

/// `{"events":[...]}` as `zorbel-extract` prints it: instants as RFC 3339 local date-times with
/// seconds and the local offset, absent optionals as null, origins keyed by field case names; a
/// repeat's last day as "YYYY-MM-DD" in "recurrenceUntil", its count in "recurrenceCount".
QJsonObject eventsJson(const QList<ExtractedEvent>& events);

/// The outcome of a calendar write: the calendar, the created identifiers, the failures.
QJsonObject receiptJson(const WriteReceipt& receipt);

/// What the calendar held around `events`: `{"checked": false}` when it could not be read, else
/// `{"checked": true, "events": [...]}` with each event's title, relation ("none",
/// "alreadyThere", "moves", "cancels", "overlaps") and, but for "none", the title and start of
/// the existing event it concerns.
/// What became of `changes` in `receipt`: each one's title and outcome, "moved" or
/// "cancelled", or the failure's reason ("changed", "gone", "save").
QJsonArray changesJson(const QList<EventChange>& changes, const WriteReceipt& receipt);

QJsonObject calendarCheckJson(const QList<ExtractedEvent>& events,
                              const std::optional<CalendarComparison>& comparison);

}  // namespace zorbel
