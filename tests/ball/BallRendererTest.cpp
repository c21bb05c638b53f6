// The renderers offscreen: what the reference pictures cannot show (other sizes, motion, the
// accessibility settings, the opacity setting, the painter handed back).

#include <gtest/gtest.h>
#include <QPainterPath>

#include "support/Appearance.h"
#include "testkit/BallImage.h"
#include "testkit/TempXdg.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/GlassBallRenderer.h"

using namespace zorbel;
using test::colourAt;
using test::drawBall;
using test::polar;

namespace {

const QPointF kCentre(32, 32);
const CaptureState kSuccess = CaptureState::success({QStringLiteral("工作"), 1});
const CaptureState kProcessing = CaptureState::processing(ProcessingStage::understanding);
const CaptureState kRecording = CaptureState::recording();
const BallRenderEnvironment kStill{2.0, true, false};

}  // namespace

TEST(BallRenderers, FitTheBallTwoPointsInsideTheShorterSideCentredAndDrawNothingWhereNoneFits) {
    const GlassBallRenderer glass(BallSkinCatalog::crystalMemory());
    const struct {
        QSizeF size;
        QPointF centre;
        double radius;
    } rows[] = {{{64, 64}, {32, 32}, 30}, {{128, 64}, {64, 32}, 30}, {{16, 16}, {8, 8}, 6}};
    for (const auto& row : rows) {
        const QImage image = drawBall(glass, CaptureState::idle(), 0, row.size, 8);
        EXPECT_NEAR(test::farthestVisible(image, row.centre), row.radius, 0.3) << row.size.width();
    }
    const AuroraInhaleRenderer aurora(BallSkinCatalog::gravitationalLens());
    for (double side : {4.0, 1.0}) {
        QImage blank = drawBall(glass, kSuccess, 0, {side, 8});
        blank.fill(Qt::transparent);
        EXPECT_EQ(drawBall(glass, kSuccess, 0, {side, 8}), blank) << side;
        EXPECT_EQ(drawBall(aurora, kProcessing, 0.5, {side, 8}), blank) << side;
    }
}

TEST(BallRenderers, TheBallBreathesWhileRecordingAndInhalesWhenProcessingStarts) {
    const GlassBallRenderer glass(BallSkinCatalog::crystalMemory());
    const AuroraInhaleRenderer aurora(BallSkinCatalog::crystalMemory());
    const struct {
        const BallVisualRenderer& renderer;
        CaptureState state;
        double time;
        bool reduceMotion;
        double radius;
    } rows[] = {
        // One breath a second, 6 % either way.
        {glass, kRecording, 0.25, false, 30 * 1.06},
        {glass, kRecording, 0.75, false, 30 * 0.94},
        {glass, kRecording, 0.25, true, 30},
        {glass, CaptureState::idle(), 0.25, false, 30},
        // In to 81 % and out again over 0.22 s.
        {aurora, kProcessing, 0.0, false, 30},
        {aurora, kProcessing, 0.11, false, 30 * 0.81},
        {aurora, kProcessing, 0.22, false, 30},
        {aurora, kProcessing, 0.11, true, 30},
    };
    for (const auto& row : rows) {
        const QImage image = drawBall(row.renderer, row.state, row.time, {64, 64}, 4,
                                      {2.0, row.reduceMotion, false});
        EXPECT_NEAR(test::farthestVisible(image, kCentre), row.radius, 0.4)
            << &row - rows << " at " << row.time;
    }
}

TEST(BallRenderers, FramesLoopSettleFadeInOrStandStillUnderReducedMotion) {
    const GlassBallRenderer glass(BallSkinCatalog::gravitationalLens());
    const AuroraInhaleRenderer aurora(BallSkinCatalog::crystalMemory());
    const auto frame = [](const BallVisualRenderer& renderer, const CaptureState& state,
                          double time, BallRenderEnvironment environment = {}) {
        return drawBall(renderer, state, time, {64, 64}, 2, environment);
    };
    // The processing animation loops every two seconds.
    EXPECT_EQ(frame(aurora, kProcessing, 2.5), frame(aurora, kProcessing, 0.5));
    EXPECT_NE(frame(aurora, kProcessing, 1.0), frame(aurora, kProcessing, 0.5));
    // The success ring shows for 0.3 s, then the frame stays.
    const QImage settled = frame(glass, kSuccess, 0.3);
    for (double time : {0.0, 0.15, 0.29}) EXPECT_NE(frame(glass, kSuccess, time), settled) << time;
    EXPECT_EQ(frame(glass, kSuccess, 5.0), settled);
    // Reduced motion: one still frame whatever the time.
    for (double time : {0.0, 0.7, 3.3}) {
        EXPECT_EQ(frame(glass, kRecording, time, kStill), frame(glass, kRecording, 0.25, kStill));
        EXPECT_EQ(frame(aurora, kProcessing, time, kStill),
                  frame(aurora, kProcessing, 0.1, kStill));
    }
    EXPECT_NE(frame(aurora, kProcessing, 0.1, kStill), frame(aurora, kProcessing, 0.5));

    // At 0 s glows, particles and core are transparent: the centre shows only the faint body,
    // a quarter of the processing tint alpha. Past the inhale the core shines there.
    const AuroraInhaleRenderer lens(BallSkinCatalog::gravitationalLens());
    const double body = 0.25 * 0.92 * BallSkinCatalog::gravitationalLens().processingTintAlpha;
    EXPECT_NEAR(colourAt(drawBall(lens, kProcessing, 0.0), kCentre).alphaF(), body, 0.01);
    EXPECT_GT(colourAt(drawBall(lens, kProcessing, 0.05), kCentre).alphaF(), body + 0.1);
    EXPECT_GT(colourAt(drawBall(lens, kProcessing, 0.5), kCentre).alphaF(), 0.7);
}

TEST(GlassBallRenderer, HighContrastDoublesTheRimAlphasUpToOpaqueAndChangesNothingElse) {
    const GlassBallRenderer glass(BallSkinCatalog::gravitationalLens());
    const QImage normal = drawBall(glass, CaptureState::idle(), 0, {64, 64}, 8);
    const QImage contrast = drawBall(glass, CaptureState::idle(), 0, {64, 64}, 8, {2, false, true});
    const QPointF brightRim = polar(kCentre, 30 - 1.75 / 2, 90);  // the rim is 1.75 points wide
    const QPointF darkRim = polar(kCentre, 30 - 1.75, -60);
    EXPECT_LT(colourAt(normal, brightRim).alpha(), 255);
    EXPECT_EQ(colourAt(contrast, brightRim), QColor(Qt::white));
    EXPECT_LT(colourAt(normal, darkRim).alpha(), 250);
    EXPECT_EQ(colourAt(contrast, darkRim), QColor(Qt::black));
    EXPECT_EQ(colourAt(normal, polar(kCentre, 15, 200)),
              colourAt(contrast, polar(kCentre, 15, 200)));
}

TEST(BallRenderers, LeaveThePaintersStateAsTheyFoundIt) {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setOpacity(0.7);
    painter.translate(3, 4);
    const auto snapshot = [&] {
        return std::make_tuple(painter.pen(), painter.brush(), painter.opacity(),
                               painter.compositionMode(), painter.transform(),
                               painter.clipPath().boundingRect(), painter.renderHints());
    };
    const auto before = snapshot();
    const QRectF rect(0, 0, 64, 64);
    GlassBallRenderer(BallSkinCatalog::liquidLens()).draw(kSuccess, rect, 0.1, {}, painter, 0.9);
    EXPECT_EQ(snapshot(), before);
    AuroraInhaleRenderer(BallSkinCatalog::gravitationalLens())
        .draw(kProcessing, rect, 0.6, {}, painter, 0.9);
    EXPECT_EQ(snapshot(), before);
}

TEST(BallRenderers, ReadTheSkinAndTheOpacityFromThePreferences) {
    test::TempXdg xdg;
    BallSkinPreference::setCurrent(BallSkinCatalog::gravitationalLens());
    EXPECT_EQ(AuroraInhaleRenderer().skin, BallSkinCatalog::gravitationalLens());
    Appearance::setBallMaterialOpacity(0.75);
    const GlassBallRenderer glass;
    QImage rendered(64, 64, QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::transparent);
    QPainter painter(&rendered);
    glass.render(CaptureState::idle(), QRectF(0, 0, 64, 64), 0, {}, painter);
    painter.end();
    EXPECT_EQ(rendered, drawBall(glass, CaptureState::idle(), 0, {64, 64}, 1, {}, 0.75));
    EXPECT_NE(rendered, drawBall(glass, CaptureState::idle(), 0, {64, 64}, 1, {}, 1.0));
}
