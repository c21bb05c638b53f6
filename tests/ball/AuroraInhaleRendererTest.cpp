// The processing animation, drawn offscreen: the inhale, the loop, the particles' spiral.

#include <gtest/gtest.h>
#include <cmath>

#include "testkit/BallImage.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallStateColors.h"

using namespace zorbel;
using test::colourAt;
using test::drawBall;
using test::polar;

namespace {

const QPointF kCentre(32, 32);
const CaptureState kProcessing = CaptureState::processing(ProcessingStage::understanding);

}  // namespace

TEST(AuroraInhaleRenderer, TheBallInhalesOverTwentyTwoHundredths) {
    const AuroraInhaleRenderer aurora(BallSkinCatalog::crystalMemory());
    const auto radiusAt = [&](double time, bool reduceMotion = false) {
        return test::visibleRadius(
            drawBall(aurora, kProcessing, time, {64, 64}, 4, {2.0, reduceMotion, false}), kCentre);
    };
    EXPECT_NEAR(radiusAt(0.0), 30, 0.3);
    EXPECT_NEAR(radiusAt(0.11), 0.81 * 30, 0.3);
    EXPECT_NEAR(radiusAt(0.22), 30, 0.3);
    EXPECT_NEAR(radiusAt(7.3), 30, 0.3);
    EXPECT_NEAR(radiusAt(0.11, true), 30, 0.3);
    EXPECT_NEAR(test::farthestVisible(drawBall(aurora, kProcessing, 0.11), kCentre), 0.81 * 30,
                0.5);
}

TEST(AuroraInhaleRenderer, EffectsFadeInDuringTheInhale) {
    const AuroraInhaleRenderer aurora(BallSkinCatalog::gravitationalLens());
    // At 0 s glows, particles and core are transparent: the centre shows only the faint body,
    // a quarter of the processing tint alpha. Past the inhale the core shines there.
    const double body = 0.25 * 0.92 * BallSkinCatalog::gravitationalLens().processingTintAlpha;
    EXPECT_NEAR(colourAt(drawBall(aurora, kProcessing, 0.0), kCentre).alphaF(), body, 0.01);
    EXPECT_GT(colourAt(drawBall(aurora, kProcessing, 0.05), kCentre).alphaF(), body + 0.1);
    EXPECT_GT(colourAt(drawBall(aurora, kProcessing, 0.5), kCentre).alphaF(), 0.7);
}

TEST(AuroraInhaleRenderer, LoopsEveryTwoSecondsAndStandsStillUnderReducedMotion) {
    const AuroraInhaleRenderer aurora(BallSkinCatalog::crystalMemory());
    const QImage half = drawBall(aurora, kProcessing, 0.5, {64, 64}, 2);
    EXPECT_EQ(drawBall(aurora, kProcessing, 2.5, {64, 64}, 2), half);
    EXPECT_NE(drawBall(aurora, kProcessing, 1.0, {64, 64}, 2), half);

    const BallRenderEnvironment still{2.0, true, false};
    const QImage first = drawBall(aurora, kProcessing, 0.1, {64, 64}, 2, still);
    for (double time : {0.0, 0.7, 3.3}) {
        EXPECT_EQ(drawBall(aurora, kProcessing, time, {64, 64}, 2, still), first);
    }
    EXPECT_NE(first, half);
}

TEST(AuroraInhaleRenderer, ParticlesFallAlongTheSpiral) {
    // At φ = 0 (t = 2 s) particle 0 is on the outer orbit and invisible, particle 6 of 12 is
    // half-way down, at its brightest, on the right of the centre.
    BallSkin none = BallSkinCatalog::crystalMemory();
    none.particleCount = 0;
    const QImage with =
        drawBall(AuroraInhaleRenderer(BallSkinCatalog::crystalMemory()), kProcessing, 2.0);
    const QImage without = drawBall(AuroraInhaleRenderer(none), kProcessing, 2.0);
    const double half = 4.2 + (26.4 - 4.2) * std::pow(0.5, 1.35);
    EXPECT_GT(colourAt(with, kCentre + QPointF(half, 0)).alpha(),
              colourAt(without, kCentre + QPointF(half, 0)).alpha() + 40);
    EXPECT_EQ(colourAt(with, kCentre + QPointF(26.4, 0)),
              colourAt(without, kCentre + QPointF(26.4, 0)));
}

TEST(AuroraInhaleRenderer, ParticlePositionFollowsTheReferenceBall) {
    const AuroraInhaleRenderer aurora(BallSkinCatalog::crystalMemory());
    const auto near = [](const AuroraParticlePosition& got, QPointF point, double radius) {
        EXPECT_NEAR(got.point.x(), point.x(), 1e-9);
        EXPECT_NEAR(got.point.y(), point.y(), 1e-9);
        EXPECT_NEAR(got.radius, radius, 1e-9);
    };
    near(aurora.particlePosition(0, 0), {58.4, 32}, 26.4);
    near(aurora.particlePosition(0, 1), {36.2, 32}, 4.2);
    // A quarter turn of the twelve starts straight above the centre (y grows downwards here).
    near(aurora.particlePosition(3, 0), {32, 32 - 26.4}, 26.4);
    EXPECT_EQ(aurora.particlePosition(5, 0.4, 17.0), aurora.particlePosition(5, 0.4));
}

TEST(AuroraInhaleRenderer, TheEdgeTakesTheProcessingTintOfTheSkin) {
    // The left edge lies beyond the glows, particles, shade and rims: only the body shows.
    const QColor violet = BallStateColors::tint(kProcessing);
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        const QColor edge =
            colourAt(drawBall(AuroraInhaleRenderer(skin), kProcessing, 1.0, {64, 64}, 4, {}, 1.0),
                     polar(kCentre, 29.5, 180));
        const double s = skin.tintSaturation;
        EXPECT_NEAR(edge.alphaF(), skin.processingTintAlpha * 0.98, 0.02);
        EXPECT_NEAR(edge.redF(), std::min(violet.redF() * s, 1.0), 0.04);
        EXPECT_NEAR(edge.greenF(), std::min(violet.greenF() * s, 1.0), 0.04);
        EXPECT_NEAR(edge.blueF(), std::min(violet.blueF() * s, 1.0), 0.04);
    }
}
