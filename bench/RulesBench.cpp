// Speed of the rule engine on pasted text: 1 KB of a mixed Chinese and English notice, and the
// same text repeated to 1 MB (the engine must stay linear).
//   build/bench/bench_rules

#include <benchmark/benchmark.h>
#include <QTimeZone>

#include "rules/RuleEngine.h"

namespace {

const QString kNotice = QStringLiteral(
    "各位同事：下周三下午三点半在3楼大会议室开季度总结会，提前15分钟提醒。\n"
    "12月10日至12日 年会；12/20 14:00-16:00 培训，地点：教学楼A101。\n"
    "Design review next Friday 2-4pm at Innovation Hub. Standup every week on Tuesday 9:30 "
    "a.m.\nBeijing 22:00 (GMT+08:00) / New York 9:00 AM EST / London 14:00 GMT\n"
    "论文提交截止日期：2027年3月20日。中秋节晚上7点赏月。谢谢大家 😀\n");

QString textOf(qsizetype bytes) {
    QString text;
    while (text.toUtf8().size() < bytes) text += kNotice;
    return text;
}

void run(benchmark::State& state, const QString& text) {
    const QDateTime now(QDate(2026, 12, 6), QTime(9, 0), Qt::UTC);
    const QTimeZone zone(QByteArrayLiteral("Asia/Shanghai"));
    for (auto _ : state) benchmark::DoNotOptimize(zorbel::RuleEngine::extract(text, now, zone));
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

void BM_RulesOneKilobyte(benchmark::State& state) {
    run(state, textOf(1024));
}

void BM_RulesOneMegabyte(benchmark::State& state) {
    static const QString text = textOf(1 << 20);
    run(state, text);
}

}  // namespace

BENCHMARK(BM_RulesOneKilobyte);
BENCHMARK(BM_RulesOneMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
