// Speed of reading the model's answer: a realistic reply of 20 events (fenced, with prose and
// field origins) and a reply of 15000 characters (the size of the largest text we send).
//   build/bench/bench_event_reader

#include <benchmark/benchmark.h>

#include "llm/EventReader.h"
#include "llm/LLMClient.h"

namespace {

QString eventJson(int i) {
    return QStringLiteral(
               R"({"title":"第%1次项目周会 Sprint review","start_time":"2026-12-%2T%3:00:00",)"
               R"("end_time":"2026-12-%2T%4:30:00","location":"3号楼 2层 大会议室",)"
               R"("notes":"请提前准备本周进展、风险和下周计划；带上电脑。","all_day":false,)"
               R"("reminder_minutes":15,"recurrence":"weekly","availability":"busy",)"
               R"("field_origins":{"title":"source","start_time":"source","end_time":"inferred",)"
               R"("location":"source","reminder_minutes":"default"}})")
        .arg(i)
        .arg(10 + i % 18, 2, 10, QLatin1Char('0'))
        .arg(9 + i % 8, 2, 10, QLatin1Char('0'))
        .arg(9 + i % 8, 2, 10, QLatin1Char('0'));
}

QString reply(int events) {
    QString text = QStringLiteral("好的，以下是提取结果：\n```json\n{\"events\":[");
    for (int i = 0; i < events; ++i) {
        if (i) text += QStringLiteral(",\n");
        text += eventJson(i);
    }
    return text + QStringLiteral("]}\n```\n如需修改请告诉我。");
}

void readReply(benchmark::State& state, const QString& text) {
    qsizetype events = 0;
    for (auto _ : state) {
        const auto parsed = zorbel::parseEvents(text);
        events += parsed.size();
        benchmark::DoNotOptimize(parsed);
    }
    state.counters["events/s"] = benchmark::Counter(double(events), benchmark::Counter::kIsRate);
    state.counters["chars"] = double(text.size());
}

void BM_Reply20Events(benchmark::State& state) {
    readReply(state, reply(20));
}

void BM_Reply15000Chars(benchmark::State& state) {
    int events = 1;
    while (reply(events + 1).size() <= 15000) ++events;
    readReply(state, reply(events));
}

}  // namespace

BENCHMARK(BM_Reply20Events)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply15000Chars)->Unit(benchmark::kMicrosecond);
