#include "llm/ChatRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include "core/ExtractedEvent.h"
#include "llm/UserProfile.h"

namespace zorbel::ChatRequest {

using namespace Qt::Literals::StringLiterals;

namespace {

QString timeZoneLine() {
    const QString offset = ExtractedEvent::localOffset();
    return u"5) 时间必须是用户所在地的本地钟点，时区为 "_s +
           QString::fromUtf8(QTimeZone::systemTimeZoneId()) + u"（"_s + offset +
           u"），格式示例：2026-09-02T14:00:00"_s + offset +
           u"；严禁使用 Z 或 UTC 后缀；\"下午3点\"写成 15:00，\"晚上11点\"写成 23:00。"_s;
}

QString timeAndSource(const QDateTime& now, const QString& source) {
    return u"现在时间："_s + currentTimeText(now) + u"\n\n"_s + source + u"："_s;
}

}  // namespace

QString makeSystemPrompt(const Preferences& defaults) {
    const QStringList lines = {
        u"你是一个日程信息提取器。从用户给出的文本（口述或文件内容）中提取日程事件，输出严格 JSON 对象，格式：{\"events\":[{\"title\":\"...\",\"start_time\":\"ISO8601带时区\",\"end_time\":\"ISO8601带时区\",\"location\":\"\",\"notes\":\"\",\"all_day\":false,\"reminder_minutes\":null,\"recurrence\":null,\"availability\":\"busy\",\"field_origins\":{\"title\":\"source\",\"start_time\":\"source\",\"end_time\":\"default\"}}]}。"_s,
        u"规则："_s,
        u"1) 没说日期时以当前时间推算相对日期（如\"明天\"\"周五\"）；"_s,
        u"2) 没说时长默认 1 小时；"_s,
        u"3) 完全提取不到任何事件时输出 {\"events\":[]}；"_s,
        u"4) notes 里附上用户原文；"_s,
        timeZoneLine(),
        u"6) 用户口述中的特殊要求必须提取：提醒（提前多久，分钟数）、重复频率（\"每天\"→daily、\"每周\"→weekly、\"每月\"→monthly、\"每年\"→yearly）、是否全天、空闲状态（\"空闲\"→free、\"暂定\"→tentative、默认 busy）；提取到的信息填到对应字段，同时在 notes 里保留原始表述；"_s,
        u"7) 地点尽量完整提取（含楼层、房间号、地址）。"_s,
        u"8) 每个字段都要在 field_origins 里标注来源：原文明确给出填 \"source\"，由你推断填 \"inferred\"，按规则默认（如默认 1 小时、默认 busy）填 \"default\"。"_s,
        u"只输出 JSON，不要输出其他内容。"_s,
    };
    QString prompt = lines.join(u'\n');
    if (const auto persona = UserProfile::personaPromptSection(defaults)) {
        prompt += u"\n\n"_s + *persona;
    }
    return prompt;
}

QString currentTimeText(const QDateTime& now) {
    return now.toUTC().toString(u"yyyy-MM-dd'T'HH:mm:ss'Z'"_s);
}

QJsonObject textUserMessage(const QString& text, const QString& source, const QDateTime& now) {
    return {{u"role"_s, u"user"_s}, {u"content"_s, timeAndSource(now, source) + text}};
}

QJsonObject imageUserMessage(const PreparedImage& image, const QString& source,
                             const QDateTime& now) {
    const QString dataURL =
        u"data:"_s + image.mimeType + u";base64,"_s + QString::fromLatin1(image.data.toBase64());
    const QJsonObject textPart{
        {u"type"_s, u"text"_s},
        {u"text"_s, timeAndSource(now, source) + u"请从图片中识别日程相关信息"_s}};
    const QJsonObject imagePart{{u"type"_s, u"image_url"_s},
                                {u"image_url"_s, QJsonObject{{u"url"_s, dataURL}}}};
    return {{u"role"_s, u"user"_s}, {u"content"_s, QJsonArray{textPart, imagePart}}};
}

QByteArray requestBody(const QString& model, const QString& systemPrompt,
                       const QJsonObject& userMessage, bool disableThinking) {
    const QJsonObject systemMessage{{u"role"_s, u"system"_s}, {u"content"_s, systemPrompt}};
    QJsonObject body{{u"model"_s, model},
                     {u"messages"_s, QJsonArray{systemMessage, userMessage}},
                     {u"temperature"_s, 0.2},
                     {u"stream"_s, false}};
    if (disableThinking) body.insert(u"think"_s, false);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<QString> replyContent(const QByteArray& body) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue choices = document.object().value(u"choices"_s);
    if (!document.isObject() || !choices.isArray()) return std::nullopt;
    const QJsonValue first = choices.toArray().at(0);
    const QJsonValue message = first.toObject().value(u"message"_s);
    const QJsonValue content = message.toObject().value(u"content"_s);
    if (!first.isObject() || !message.isObject() || !content.isString()) return std::nullopt;
    return content.toString();
}

std::optional<QUrl> endpoint(const QString& baseURL, const QString& path) {
    QString text = baseURL;
    if (text.endsWith(u'/')) text.chop(1);
    const QUrl url(text + path, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        return std::nullopt;
    }
    return url;
}

std::optional<QStringList> namesIn(const QByteArray& body, const QString& arrayKey,
                                   const QString& nameKey) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue items = document.object().value(arrayKey);
    if (!document.isObject() || !items.isArray()) return std::nullopt;
    QStringList names;
    for (const QJsonValue& item : items.toArray()) {
        const QJsonValue name = item.toObject().value(nameKey);
        if (name.isString()) names.append(name.toString());
    }
    return names;
}

}  // namespace zorbel::ChatRequest
