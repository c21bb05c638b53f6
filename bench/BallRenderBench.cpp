// Cost of one frame of the ball at its real size (64 × 64 points, scale 2), drawn the way the
// ball view draws it: through `render`, which also reads the ball material opacity.
//   build/bench/bench_ball_render
// "budget_%" is the share of one 60 Hz frame (16.7 ms) a frame takes.

#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/GlassBallRenderer.h"

namespace {

using namespace zorbel;

// Draws one frame per iteration; frame i is drawn at `timeOf(i)` seconds into the state.
void drawFrames(benchmark::State& state, const BallVisualRenderer& renderer,
                const CaptureState& ballState, const std::function<double(qint64)>& timeOf) {
    constexpr double scale = 2.0;
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    const BallRenderEnvironment environment{scale, false, false};
    qint64 frame = 0;
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(ballState, QRectF(0, 0, 64, 64), timeOf(frame++), environment, painter);
        benchmark::DoNotOptimize(image.constBits());
    }
    // A rate of iterations / 6000, inverted: seconds per frame × 60 frames × 100 %.
    state.counters["budget_%"] =
        benchmark::Counter(double(state.iterations()) / 6000.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

double sixtieths(qint64 frame) {
    return double(frame) / 60;
}

void BM_GlassIdle(benchmark::State& state) {
    drawFrames(state, GlassBallRenderer(BallSkinCatalog::crystalMemory()), CaptureState::idle(),
               sixtieths);
}

void BM_GlassRecording(benchmark::State& state) {
    drawFrames(state, GlassBallRenderer(BallSkinCatalog::crystalMemory()),
               CaptureState::recording(), sixtieths);
}

void BM_GlassSuccess(benchmark::State& state) {
    // Every frame inside the 0.3 s of the ring (the frames after it cost what idle costs).
    drawFrames(state, GlassBallRenderer(BallSkinCatalog::crystalMemory()),
               CaptureState::success({QStringLiteral("日历"), 1}),
               [](qint64 frame) { return sixtieths(frame % 18); });
}

void BM_Aurora16Particles(benchmark::State& state) {
    drawFrames(state, AuroraInhaleRenderer(BallSkinCatalog::gravitationalLens()),
               CaptureState::processing(ProcessingStage::understanding), sixtieths);
}

}  // namespace

BENCHMARK(BM_GlassIdle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlassRecording)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlassSuccess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Aurora16Particles)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    // The renderers read the appearance settings: give them an empty store of their own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
