// Cost of one extractEvents(text:) round trip without the server: the system prompt, the user
// message for a 15000-character text, the encoded request body, then the decoding of a
// chat-completions reply with three events, the reading of its content and the source text on
// each event.
//   build/bench/bench_llm_request

#include <benchmark/benchmark.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include "llm/ChatRequest.h"
#include "llm/EventReader.h"
#include "llm/LLMClient.h"

namespace {

QString capturedText() {
    const QString line = QStringLiteral(
        "下周三下午3点在3号楼2层大会议室开项目评审会，请提前15分钟提醒；周五上午10点和客户电话沟通"
        "。\n");
    QString text;
    while (text.size() + line.size() <= 15000) text += line;
    return text + QString(15000 - text.size(), u'x');
}

QByteArray replyBody() {
    QString events;
    for (int i = 0; i < 3; ++i) {
        if (i) events += u',';
        events += QStringLiteral(
                      R"({"title":"项目评审会%1","start_time":"2026-12-09T15:00:00+08:00",)"
                      R"("end_time":"2026-12-09T16:00:00+08:00","location":"3号楼2层大会议室",)"
                      R"("reminder_minutes":15,"field_origins":{"title":"source"}})")
                      .arg(i);
    }
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                              {QStringLiteral("content"),
                               QStringLiteral("{\"events\":[") + events + QStringLiteral("]}")}};
    const QJsonObject reply{
        {QStringLiteral("choices"), QJsonArray{QJsonObject{{QStringLiteral("message"), message}}}}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

void BM_ExtractEventsRoundTrip15000Chars(benchmark::State& state) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    zorbel::Preferences defaults(QStringLiteral("com.zorbel.app"));
    defaults.setValue(QStringLiteral("user.persona"), QStringLiteral("产品经理，常在3号楼开会"));
    const QString text = capturedText();
    const QString source = QStringLiteral("粘贴文本");
    const QByteArray reply = replyBody();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QJsonObject message =
            zorbel::ChatRequest::textUserMessage(text, source, QDateTime::currentDateTimeUtc());
        const QByteArray body = zorbel::ChatRequest::requestBody(
            QStringLiteral("qwen2.5vl:3b"), zorbel::ChatRequest::makeSystemPrompt(defaults),
            message, true);
        bytes += body.size();
        QList<zorbel::ExtractedEvent> events =
            zorbel::parseEvents(*zorbel::ChatRequest::replyContent(reply));
        for (zorbel::ExtractedEvent& event : events) event.sourceText = text;
        benchmark::DoNotOptimize(events);
    }
    state.counters["requestBytes"] = double(bytes) / double(state.iterations());
}

}  // namespace

BENCHMARK(BM_ExtractEventsRoundTrip15000Chars)->Unit(benchmark::kMicrosecond);
