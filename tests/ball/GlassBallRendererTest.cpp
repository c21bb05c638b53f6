// The glass ball, drawn offscreen and looked at pixel by pixel: where the ball sits, which
// colours show where, and what changes over time.

#include <gtest/gtest.h>
#include <QPainterPath>

#include "support/Appearance.h"
#include "testkit/BallImage.h"
#include "testkit/TempXdg.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/BallStateColors.h"
#include "ui/ball/GlassBallRenderer.h"

using namespace zorbel;
using test::colourAt;
using test::drawBall;
using test::polar;

namespace {

const QPointF kCentre(32, 32);

CaptureState success() {
    return CaptureState::success({QStringLiteral("工作"), 1});
}

// A skin that draws nothing but the body: every other layer is switched off.
BallSkin bodyOnly(BallSkin skin) {
    skin.tintAlpha = 1.0;
    skin.shadeAlpha = skin.highlightAlpha = skin.glintAlpha = skin.causticAlpha = 0;
    skin.rimBrightAlpha = skin.rimDarkAlpha = 0;
    return skin;
}

}  // namespace

TEST(GlassBallRenderer, FitsTheBallWithTwoPointsOfMarginAndCentresIt) {
    const GlassBallRenderer glass(BallSkinCatalog::crystalMemory());
    EXPECT_NEAR(test::visibleRadius(drawBall(glass, CaptureState::idle(), 0), kCentre), 30, 0.3);

    const QImage wide = drawBall(glass, CaptureState::idle(), 0, {128, 64});
    EXPECT_NEAR(test::visibleRadius(wide, {64, 32}), 30, 0.3);
    EXPECT_EQ(colourAt(wide, {33, 32}).alpha(), 0);  // left of the ball
    EXPECT_GT(colourAt(wide, {35, 32}).alpha(), 0);
    EXPECT_GT(colourAt(wide, {93, 32}).alpha(), 0);
    EXPECT_EQ(colourAt(wide, {95, 32}).alpha(), 0);  // right of the ball

    // The collapsed ball at a screen edge: 16 points square, radius 6.
    const QImage collapsed =
        drawBall(glass, CaptureState::processing(ProcessingStage::extracting), 0, {16, 16}, 8);
    EXPECT_NEAR(test::visibleRadius(collapsed, {8, 8}), 6, 0.2);
}

TEST(BallRenderers, DrawNothingWhereNoBallFitsInsideTheMargin) {
    const auto blank = [](const QImage& like) {
        QImage image(like.size(), like.format());
        image.fill(Qt::transparent);
        return image;
    };
    for (double side : {4.0, 3.0, 1.0}) {
        const QImage glass = drawBall(GlassBallRenderer(BallSkinCatalog::gravitationalLens()),
                                      success(), 0.0, {side, 8});
        EXPECT_EQ(glass, blank(glass)) << side;
        const QImage aurora =
            drawBall(AuroraInhaleRenderer(BallSkinCatalog::gravitationalLens()),
                     CaptureState::processing(ProcessingStage::understanding), 0.5, {side, 8});
        EXPECT_EQ(aurora, blank(aurora)) << side;
    }
}

TEST(GlassBallRenderer, NothingIsDrawnOutsideTheBallInAnyState) {
    const CaptureState states[] = {
        CaptureState::idle(),
        CaptureState::dropTarget(),
        CaptureState::recording(),
        CaptureState::processing(ProcessingStage::understanding),
        CaptureState::confirmation(),
        success(),
        CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::ocrFailed)),
    };
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        for (const CaptureState& state : states) {
            // Recording at rest size (time 0); the success ring at its widest.
            const double time = state.kind() == CaptureState::Kind::success ? 0.29 : 0.0;
            const QImage image = drawBall(GlassBallRenderer(skin), state, time, {64, 64}, 2);
            EXPECT_LE(test::farthestVisible(image, kCentre), 30.8) << skin.id().toStdString();
        }
    }
}

TEST(GlassBallRenderer, RecordingBreathesOncePerSecondUnlessMotionIsReduced) {
    const GlassBallRenderer glass(BallSkinCatalog::crystalMemory());
    const auto radiusAt = [&](double time, bool reduceMotion) {
        return test::visibleRadius(drawBall(glass, CaptureState::recording(), time, {64, 64}, 4,
                                            {2.0, reduceMotion, false}),
                                   kCentre);
    };
    EXPECT_NEAR(radiusAt(0.0, false), 30, 0.3);
    EXPECT_NEAR(radiusAt(0.25, false), 30 * 1.06, 0.3);
    EXPECT_NEAR(radiusAt(0.75, false), 30 * 0.94, 0.3);
    EXPECT_NEAR(radiusAt(0.25, true), 30, 0.3);
    EXPECT_NEAR(radiusAt(0.75, true), 30, 0.3);
    // Other states do not breathe.
    EXPECT_NEAR(test::visibleRadius(drawBall(glass, CaptureState::idle(), 0.25), kCentre), 30, 0.3);
}

TEST(GlassBallRenderer, ReducedMotionFramesDoNotChangeOverTime) {
    const GlassBallRenderer glass(BallSkinCatalog::gravitationalLens());
    const BallRenderEnvironment still{2.0, true, false};
    const QImage first = drawBall(glass, CaptureState::recording(), 0.25, {64, 64}, 2, still);
    for (double time : {0.5, 0.75, 3.1}) {
        EXPECT_EQ(drawBall(glass, CaptureState::recording(), time, {64, 64}, 2, still), first);
    }
}

TEST(GlassBallRenderer, TheEdgeTakesTheStateTintScaledByTheSkinsSaturation) {
    // On the left edge only the body is drawn: its colour is the tint times the saturation,
    // capped at 1.
    const CaptureState states[] = {CaptureState::idle(), CaptureState::recording(),
                                   CaptureState::dropTarget(), CaptureState::confirmation(),
                                   success()};
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        for (const CaptureState& state : states) {
            const QColor tint = BallStateColors::tint(state);
            const QColor edge = colourAt(
                drawBall(GlassBallRenderer(bodyOnly(skin)), state, 0, {64, 64}, 4, {}, 1.0),
                polar(kCentre, 29.5, 180));
            const double s = skin.tintSaturation;
            EXPECT_NEAR(edge.redF(), std::min(tint.redF() * s, 1.0), 0.02);
            EXPECT_NEAR(edge.greenF(), std::min(tint.greenF() * s, 1.0), 0.02);
            EXPECT_NEAR(edge.blueF(), std::min(tint.blueF() * s, 1.0), 0.02);
            EXPECT_GT(edge.alphaF(), 0.9);
        }
    }
    // The centre is a faint quarter of the edge's tint.
    const QImage ball = drawBall(GlassBallRenderer(bodyOnly(BallSkinCatalog::crystalMemory())),
                                 CaptureState::idle(), 0, {64, 64}, 4, {}, 1.0);
    EXPECT_NEAR(colourAt(ball, polar(kCentre, 8, 180)).alphaF(), 0.25, 0.02);
}

TEST(GlassBallRenderer, LightComesFromTheUpperLeftAndTheCausticLiesInTheBottom) {
    // The drawing's y axis points up; a mistake in the conversion mirrors the ball.
    const QImage ball =
        drawBall(GlassBallRenderer(BallSkinCatalog::crystalMemory()), CaptureState::idle(), 0);
    const QColor upperLeft = colourAt(ball, polar(kCentre, 20, 135));
    const QColor lowerLeft = colourAt(ball, polar(kCentre, 20, 225));
    EXPECT_GT(upperLeft.alpha(), lowerLeft.alpha() + 20);  // the highlight
    EXPECT_GT(upperLeft.lightnessF(), 0.8);
    // The glint: a nearly white spot at (−0.45 r, +0.58 r) from the centre.
    const QColor glint = colourAt(ball, {32 - 0.45 * 30, 32 - 0.58 * 30});
    EXPECT_GT(glint.alphaF(), 0.85);
    EXPECT_GT(glint.lightnessF(), 0.9);
    // The caustic runs inside the bottom, not the top.
    const QColor bottom = colourAt(ball, polar(kCentre, 0.72 * 30, -90));
    const QColor top = colourAt(ball, polar(kCentre, 0.72 * 30, 90));
    EXPECT_GT(bottom.blueF() - bottom.redF(), 0.2);  // idle's blue violet
    EXPECT_LT(top.blueF() - top.redF(), bottom.blueF() - bottom.redF());
}

TEST(GlassBallRenderer, TheShadeIsCentredBelowAndRightOfTheMiddle) {
    // Shade alone, at full alpha: it starts 0.55 × 1.1 r from its centre (0.35 r, −0.35 r) and
    // ends 1.1 r from it, so above the right edge it is dark, below it not yet, and the upper
    // left lies beyond its reach.
    BallSkin shade = bodyOnly(BallSkinCatalog::crystalMemory());
    shade.tintAlpha = 0;
    shade.shadeAlpha = 1;
    const QImage ball =
        drawBall(GlassBallRenderer(shade), CaptureState::idle(), 0, {64, 64}, 4, {}, 1.0);
    EXPECT_GT(colourAt(ball, polar(kCentre, 29, 20)).alpha(), 100);
    EXPECT_EQ(colourAt(ball, polar(kCentre, 29, -20)).alpha(), 0);
    EXPECT_EQ(colourAt(ball, polar(kCentre, 29, 160)).alpha(), 0);
    EXPECT_EQ(colourAt(ball, polar(kCentre, 29, 20)).rgb() & 0xffffff, 0u);  // black
}

TEST(GlassBallRenderer, HighContrastDoublesTheRimAlphasUpToOpaque) {
    const GlassBallRenderer glass(BallSkinCatalog::gravitationalLens());
    const double w = 1.75;
    const QPointF brightRim = polar(kCentre, 30 - w / 2, 90);
    const QPointF darkRim = polar(kCentre, 30 - w, -60);
    const QImage normal = drawBall(glass, CaptureState::idle(), 0, {64, 64}, 8);
    const QImage contrast =
        drawBall(glass, CaptureState::idle(), 0, {64, 64}, 8, {2.0, false, true});
    EXPECT_LT(colourAt(normal, brightRim).alpha(), 255);
    EXPECT_EQ(colourAt(contrast, brightRim), QColor(Qt::white));
    EXPECT_LT(colourAt(normal, darkRim).alpha(), 250);
    EXPECT_EQ(colourAt(contrast, darkRim), QColor(Qt::black));
    // Nothing else changes: the middle of the ball is the same.
    EXPECT_EQ(colourAt(normal, polar(kCentre, 15, 200)),
              colourAt(contrast, polar(kCentre, 15, 200)));
}

TEST(GlassBallRenderer, MaterialOpacityZeroLeavesOnlyTheLightsRimsAndMark) {
    const GlassBallRenderer glass(BallSkinCatalog::crystalMemory());
    const QImage clear = drawBall(glass, CaptureState::idle(), 0, {64, 64}, 4, {}, 0.0);
    const QImage normal = drawBall(glass, CaptureState::idle(), 0, {64, 64}, 4, {}, 0.92);
    // Body and shade are gone: spots of the edge where no other layer reaches are empty.
    const QPointF shaded = polar(kCentre, 28, 30);
    EXPECT_GT(colourAt(normal, shaded).alpha(), 40);
    EXPECT_EQ(colourAt(clear, shaded).alpha(), 0);
    EXPECT_EQ(colourAt(clear, polar(kCentre, 27, -100)).alpha(), 0);
    // Highlight, glint, caustic, rims and mark stay.
    EXPECT_GT(colourAt(clear, polar(kCentre, 20, 135)).alpha(), 60);
    EXPECT_GT(colourAt(clear, {32 - 0.45 * 30, 32 - 0.58 * 30}).alpha(), 200);
    EXPECT_GT(colourAt(clear, polar(kCentre, 0.72 * 30, -90)).alpha(), 40);
    EXPECT_GT(colourAt(clear, polar(kCentre, 29.4, 90)).alpha(), 150);
    EXPECT_GT(colourAt(clear, polar(kCentre, 28.75, -60)).alpha(), 40);
    EXPECT_GT(colourAt(clear, kCentre + QPointF(0, -5)).alpha(), 220);  // the microphone
    // A skin without lights leaves nothing but the mark.
    BallSkin dark = bodyOnly(BallSkinCatalog::crystalMemory());
    const QImage markOnly =
        drawBall(GlassBallRenderer(dark), CaptureState::idle(), 0, {64, 64}, 4, {}, 0.0);
    EXPECT_LE(test::farthestVisible(markOnly, kCentre), 0.72 * 30 * 0.71);  // in its square
}

TEST(GlassBallRenderer, EachStateShowsItsMark) {
    BallSkin plain = bodyOnly(BallSkinCatalog::crystalMemory());
    const auto mark = [&](const CaptureState& state) {
        // Late enough for success that its ring is gone.
        const double time = state.kind() == CaptureState::Kind::success ? 1.0 : 0.0;
        return drawBall(GlassBallRenderer(plain), state, time, {64, 64}, 2, {}, 0.0);
    };
    const QImage microphone = mark(CaptureState::idle());
    const QImage check = mark(success());
    const QImage exclamation =
        mark(CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::network)));
    EXPECT_NE(microphone, check);
    EXPECT_NE(microphone, exclamation);
    EXPECT_NE(check, exclamation);
    for (const CaptureState& state :
         {CaptureState::recording(), CaptureState::dropTarget(), CaptureState::confirmation(),
          CaptureState::processing(ProcessingStage::transcribing)}) {
        EXPECT_EQ(mark(state), microphone);
    }
    // White at 0.92: the stem of the exclamation mark and the microphone's capsule.
    const QColor white = colourAt(exclamation, kCentre + QPointF(0, -5));
    EXPECT_NEAR(white.alphaF(), 0.92, 0.01);
    EXPECT_EQ(white.rgb() & 0xffffff, 0xffffffu);
    EXPECT_NEAR(colourAt(microphone, kCentre + QPointF(0, -5)).alphaF(), 0.92, 0.01);
}

TEST(GlassBallRenderer, SuccessRingGrowsFromTheMiddleAndIsGoneAfterThreeTenths) {
    const GlassBallRenderer glass(BallSkinCatalog::crystalMemory());
    const auto frame = [&](double time) { return drawBall(glass, success(), time, {64, 64}, 4); };
    const QImage settled = frame(0.3);
    EXPECT_EQ(frame(5.0), settled);
    // At 0 s a ring of radius 0.2 r at alpha 0.8 lies where the check mark is not.
    const QPointF ringStart = polar(kCentre, 0.2 * 30, 135);
    EXPECT_GT(colourAt(frame(0.0), ringStart).alpha(), colourAt(settled, ringStart).alpha() + 100);
    // Half-way (0.15 s) the ring is at 0.6 r and fainter; its start point is clear again.
    const QPointF ringMiddle = polar(kCentre, 0.6 * 30, 135);
    const QImage middle = frame(0.15);
    EXPECT_GT(colourAt(middle, ringMiddle).alpha(), colourAt(settled, ringMiddle).alpha() + 30);
    EXPECT_EQ(colourAt(middle, ringStart), colourAt(settled, ringStart));
}

TEST(BallRenderers, LeaveThePaintersStateAsTheyFoundIt) {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::red, 3));
    painter.setBrush(Qt::green);
    painter.setOpacity(0.7);
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.translate(3, 4);
    painter.setClipRect(QRectF(0, 0, 50, 50));
    const auto snapshot = [&] {
        return std::make_tuple(painter.pen(), painter.brush(), painter.opacity(),
                               painter.compositionMode(), painter.transform(),
                               painter.clipPath().boundingRect(), painter.renderHints());
    };
    const auto before = snapshot();
    const QRectF rect(0, 0, 64, 64);
    GlassBallRenderer(BallSkinCatalog::liquidLens()).draw(success(), rect, 0.1, {}, painter, 0.9);
    EXPECT_EQ(snapshot(), before);
    AuroraInhaleRenderer(BallSkinCatalog::gravitationalLens())
        .draw(CaptureState::processing(ProcessingStage::understanding), rect, 0.6, {}, painter,
              0.9);
    EXPECT_EQ(snapshot(), before);
}

TEST(GlassBallRenderer, ReadsSkinAndOpacityFromThePreferences) {
    test::TempXdg xdg;
    BallSkinPreference::setCurrent(BallSkinCatalog::gravitationalLens());
    EXPECT_EQ(GlassBallRenderer().skin, BallSkinCatalog::gravitationalLens());

    // `render` uses the stored ball material opacity.
    Appearance::setBallMaterialOpacity(0.75);
    const GlassBallRenderer glass;
    QImage rendered(64, 64, QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::transparent);
    {
        QPainter painter(&rendered);
        glass.render(CaptureState::idle(), QRectF(0, 0, 64, 64), 0, {}, painter);
    }
    EXPECT_EQ(rendered, drawBall(glass, CaptureState::idle(), 0, {64, 64}, 1, {}, 0.75));
    EXPECT_NE(rendered, drawBall(glass, CaptureState::idle(), 0, {64, 64}, 1, {}, 1.0));
}
