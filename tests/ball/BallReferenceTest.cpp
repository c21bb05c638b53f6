// Every state of every skin at 128 × 128 points, scale 2, against tests/ball/reference/;
// ZORBEL_BALL_WRITE_REFERENCES=<folder> writes them there instead (update-references.sh).

#include <gtest/gtest.h>
#include <QDir>
#include <QPainter>
#include <string>

#include "testkit/BallImage.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/GlassBallRenderer.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

const struct Pose {
    const char* name;
    CaptureState state;
    double time;
} kPoses[] = {
    {"idle", CaptureState::idle(), 0.0},
    {"dropTarget", CaptureState::dropTarget(), 0.0},
    {"recording", CaptureState::recording(), 0.25},
    {"confirmation", CaptureState::confirmation(), 0.0},
    {"success", CaptureState::success({QStringLiteral("Zorbel"), 2}), 0.1},
    {"failure", CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::network)),
     0.0},
    {"processing", CaptureState::processing(ProcessingStage::understanding), 0.6},
};

// Small rounding differences between compilers are allowed; a moved or recoloured layer
// changes far more pixels by far more.
::testing::AssertionResult looksTheSame(const QImage& image, const QImage& expected) {
    const test::ImageDifference diff = test::compareImages(image, expected, 3);
    if (diff.differingPixels <= image.width() * image.height() / 500 && diff.largest <= 24) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << diff.differingPixels << " pixels differ, largest difference " << diff.largest;
}

}  // namespace

TEST(BallReference, EveryStateOfEverySkinLooksAsRecorded) {
    // Times chosen to show the moving parts: the pulse at its widest, the success ring early,
    // the aurora past its inhale. Only processing is drawn by the aurora renderer.
    const QString writeTo = qEnvironmentVariable("ZORBEL_BALL_WRITE_REFERENCES");
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        for (const Pose& pose : kPoses) {
            const QString name = skin.id() + u'-' + QLatin1String(pose.name) + u".png"_s;
            SCOPED_TRACE(name.toStdString());
            const bool aurora = pose.state.kind() == CaptureState::Kind::processing;
            const QImage image = aurora ? test::drawBall(AuroraInhaleRenderer(skin), pose.state,
                                                         pose.time, {128, 128}, 2)
                                        : test::drawBall(GlassBallRenderer(skin), pose.state,
                                                         pose.time, {128, 128}, 2);
            if (!writeTo.isEmpty()) {
                ASSERT_TRUE(QDir().mkpath(writeTo));
                ASSERT_TRUE(image.save(writeTo + u'/' + name, "PNG", 0));  // smallest file
                continue;
            }
            const QImage reference(QStringLiteral(ZORBEL_BALL_REFERENCE_DIR "/") + name);
            ASSERT_FALSE(reference.isNull()) << "missing reference";
            const ::testing::AssertionResult same = looksTheSame(image, reference);
            if (!same) image.save(name.chopped(4) + u".fail.png"_s);
            EXPECT_TRUE(same) << "the drawn image is in the working folder";
        }
    }
}

TEST(BallReference, FramesFromKeptLayersLookAsFramesDrawnAfresh) {
    // A sweep of times off the 60 Hz grid over the breath, the success ring and the aurora's
    // inhale and loop; every other frame through a painter that fades and shrinks the ball as
    // the ball view does. One renderer keeps its images over the whole sweep.
    const auto frame = [](const BallVisualRenderer& renderer, const CaptureState& state,
                          double time, bool faded) {
        QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        if (faded) {
            painter.setOpacity(0.85);
            painter.translate(64, 64);
            painter.scale(0.92, 0.92);
            painter.translate(-64, -64);
        }
        renderer.draw(state, QRectF(0, 0, 128, 128), time, {}, painter, 0.92);
        return image;
    };
    const auto sweep = [&frame](const auto& kept, const CaptureState& state) {
        auto afresh = kept;
        afresh.cacheStillLayers = false;
        for (int step = 0; step < 24; ++step) {
            const double time = step * 0.0917;
            const bool faded = step % 2 == 1;
            SCOPED_TRACE(std::to_string(time) + (faded ? " s, faded" : " s"));
            EXPECT_TRUE(
                looksTheSame(frame(kept, state, time, faded), frame(afresh, state, time, faded)));
        }
    };
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        for (const Pose& pose : kPoses) {
            SCOPED_TRACE(skin.id().toStdString() + ' ' + pose.name);
            if (pose.state.kind() == CaptureState::Kind::processing) {
                sweep(AuroraInhaleRenderer(skin), pose.state);
            } else {
                sweep(GlassBallRenderer(skin), pose.state);
            }
        }
    }
}
