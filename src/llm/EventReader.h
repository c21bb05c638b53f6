#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>

#include "core/ExtractedEvent.h"

namespace zorbel {

/// Reads the model's whole reply into candidate events. Never throws: whatever cannot be used
/// is dropped and logged ("noJSON", "badJSON", "missingEvents", "eventItemParse"), and the
/// events that survive come back in input order (possibly none).
QList<ExtractedEvent> parseEvents(const QString& reply);

/// The events of an already parsed `events` array, by the same rules.
QList<ExtractedEvent> parseEventList(const QJsonArray& objects);

}  // namespace zorbel
