#pragma once

#include <QJsonObject>
#include <QList>

#include "calendar/CalendarTypes.h"
#include "core/ExtractedEvent.h"

namespace zorbel {

/// `{"events":[...]}` as `zorbel-extract` prints it: instants as RFC 3339 local date-times with
/// seconds and the local offset, absent optionals as null, origins keyed by field case names.
QJsonObject eventsJson(const QList<ExtractedEvent>& events);

/// The outcome of a calendar write: the calendar, the created identifiers, the failures.
QJsonObject receiptJson(const WriteReceipt& receipt);

}  // namespace zorbel
