#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>

#include "llm/ExtractedEvent.h"
#include "llm/LLMError.h"

namespace zorbel {

/// The language-model client. The reader of the model's answer lives here as static functions
/// that use no client state and are safe on any thread.
class LLMClient {
public:
    using LLMError = zorbel::LLMError;

    /// Reads the model's whole reply into candidate events. Never throws: whatever cannot be
    /// used is dropped and logged ("noJSON", "badJSON", "missingEvents", "eventItemParse"), and
    /// the events that survive come back in input order (possibly none).
    static QList<ExtractedEvent> parseEvents(const QString& reply);

private:
    static QList<ExtractedEvent> parseEventList(const QJsonArray& objects);
    static std::optional<bool> boolField(const QJsonValue& value);
    static std::optional<qint64> reminderField(const QJsonValue& value);
};

}  // namespace zorbel
