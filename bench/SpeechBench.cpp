// Speed of on-device recognition: PocketSphinx over a 5-second English utterance (espeak-ng
// speech, resampled by sox to 16 kHz mono and padded with silence to exactly 5 seconds), the
// decoder loaded once beforehand. The counter realTimeFactor is decoding CPU time / audio time
// (decoding is single-threaded, so CPU time is what a busy machine does not distort).
//   build/bench/bench_speech

#include <benchmark/benchmark.h>
#include <QProcess>
#include <QTemporaryDir>

#include "input/PocketSphinxRecognizer.h"
#include "input/WavFile.h"

namespace {

constexpr double kUtteranceSeconds = 5.0;

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitCode() == 0;
}

/// Five seconds of spoken English as 16 kHz mono samples, or nothing when the tools are missing.
QByteArray utterance() {
    QTemporaryDir dir;
    const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
    const QString wav = dir.filePath(QStringLiteral("utterance.wav"));
    if (!run(QStringLiteral("espeak-ng"),
             {QStringLiteral("-v"), QStringLiteral("en-us"), QStringLiteral("-s"),
              QStringLiteral("130"), QStringLiteral("-w"), spoken,
              QStringLiteral("team meeting tomorrow at three pm in the large room on the "
                             "second floor")}) ||
        !run(QStringLiteral("sox"),
             {QStringLiteral("-D"), spoken, QStringLiteral("-r"), QStringLiteral("16000"),
              QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"),
              wav, QStringLiteral("pad"), QStringLiteral("0"), QStringLiteral("5"),
              QStringLiteral("trim"), QStringLiteral("0"), QStringLiteral("5")})) {
        return {};
    }
    return zorbel::WavFile::readSamples(wav);
}

void BM_PocketSphinxFiveSeconds(benchmark::State& state) {
    const QByteArray samples = utterance();
    zorbel::PocketSphinxRecognizer recognizer;
    if (samples.isEmpty() || !recognizer.isAvailable()) {
        state.SkipWithError("espeak-ng, sox or the pocketsphinx-en-us model is missing");
        return;
    }
    const zorbel::CancellationToken token;
    recognizer.recognizeSamples(samples, token);  // loads the model outside the timing
    for (auto _ : state) {
        benchmark::DoNotOptimize(recognizer.recognizeSamples(samples, token));
    }
    state.counters["realTimeFactor"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kUtteranceSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PocketSphinxFiveSeconds)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
