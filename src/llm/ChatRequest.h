#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

#include "core/CaptureTypes.h"
#include "support/Preferences.h"

/// The chat-completions wire format: the extraction prompt, the user messages, the request body
/// and the reading of the reply. Pure functions of their arguments (and of the system time zone
/// for the prompt); safe on any thread.
namespace zorbel::ChatRequest {

/// The system prompt: the fixed extraction rules with the current time zone and its offset,
/// then the persona section of `defaults` when there is one. Built afresh at every call.
QString makeSystemPrompt(const Preferences& defaults);

/// `now` as an internet date-time in UTC with "Z" and no fractional seconds.
QString currentTimeText(const QDateTime& now);

/// The user message for a text capture.
QJsonObject textUserMessage(const QString& text, const QString& source, const QDateTime& now);
/// The user message for a picture: a text part and the picture as a Base64 data URL.
QJsonObject imageUserMessage(const PreparedImage& image, const QString& source,
                             const QDateTime& now);

/// The compact JSON body: model, system and user messages, temperature 0.2, no streaming, and
/// "think": false when `disableThinking` (local and auto routes).
QByteArray requestBody(const QString& model, const QString& systemPrompt,
                       const QJsonObject& userMessage, bool disableThinking);

/// The first choice's message content of a reply body, or nothing when the body does not have
/// that shape (invalid JSON, a missing key, a wrong type, no choices).
std::optional<QString> replyContent(const QByteArray& body);

/// The largest model list read from a server (a provider's list or a local server's probe).
constexpr qint64 kMaxModelListBytes = 1 << 20;

/// The `nameKey` strings of the objects in the body's `arrayKey` array (a model list), or
/// nothing when the body is not an object holding such an array. Items without a string name
/// are skipped.
std::optional<QStringList> namesIn(const QByteArray& body, const QString& arrayKey,
                                   const QString& nameKey);

/// `baseURL` with one trailing "/" removed and `path` appended, when that is an absolute
/// http(s) URL; nothing otherwise.
std::optional<QUrl> endpoint(const QString& baseURL, const QString& path);

}  // namespace zorbel::ChatRequest
