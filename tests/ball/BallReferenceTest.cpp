// Every state of every skin drawn at 128 × 128 points, scale 2, compared with the images in
// tests/ball/reference/. With ZORBEL_BALL_WRITE_REFERENCES=<folder> the images are written
// there instead (update-references.sh regenerates the checked-in set on purpose; the contact
// sheet script collects them into one picture).

#include <gtest/gtest.h>
#include <QDir>

#include "testkit/BallImage.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/GlassBallRenderer.h"

using namespace zorbel;

namespace {

struct Pose {
    const char* name;
    CaptureState state;
    double time;
};

// Times chosen to show the moving parts: the pulse at its widest, the success ring early,
// the aurora past its inhale.
const Pose kGlassPoses[] = {
    {"idle", CaptureState::idle(), 0.0},
    {"dropTarget", CaptureState::dropTarget(), 0.0},
    {"recording", CaptureState::recording(), 0.25},
    {"confirmation", CaptureState::confirmation(), 0.0},
    {"success", CaptureState::success({QStringLiteral("Zorbel"), 2}), 0.1},
    {"failure", CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::network)),
     0.0},
};
const Pose kAuroraPose{"processing", CaptureState::processing(ProcessingStage::understanding), 0.6};

QImage drawPose(const BallSkin& skin, const Pose& pose, bool aurora) {
    const QSizeF size(128, 128);
    if (aurora) return test::drawBall(AuroraInhaleRenderer(skin), pose.state, pose.time, size, 2);
    return test::drawBall(GlassBallRenderer(skin), pose.state, pose.time, size, 2);
}

void checkPose(const BallSkin& skin, const Pose& pose, bool aurora) {
    const QString name = skin.id() + u'-' + QLatin1String(pose.name) + QStringLiteral(".png");
    const QImage image = drawPose(skin, pose, aurora);
    const QString writeTo = qEnvironmentVariable("ZORBEL_BALL_WRITE_REFERENCES");
    if (!writeTo.isEmpty()) {
        ASSERT_TRUE(QDir().mkpath(writeTo));
        ASSERT_TRUE(image.save(writeTo + u'/' + name, "PNG", 0));  // smallest file
        return;
    }
    const QImage reference(QStringLiteral(ZORBEL_BALL_REFERENCE_DIR "/") + name);
    ASSERT_FALSE(reference.isNull()) << "missing reference " << name.toStdString();
    // Small rounding differences between compilers are allowed; a moved or recoloured layer
    // changes far more pixels by far more.
    const test::ImageDifference diff = test::compareImages(image, reference, 3);
    const bool same =
        diff.differingPixels <= image.width() * image.height() / 500 && diff.largest <= 24;
    if (!same) image.save(QStringLiteral("%1.fail.png").arg(name.chopped(4)));
    EXPECT_TRUE(same) << name.toStdString() << ": " << diff.differingPixels
                      << " pixels differ, largest difference " << diff.largest
                      << "; the drawn image is in the test's working folder as .fail.png";
}

}  // namespace

TEST(BallReference, EveryStateOfEverySkinLooksAsRecorded) {
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        for (const Pose& pose : kGlassPoses) checkPose(skin, pose, false);
        checkPose(skin, kAuroraPose, true);
    }
}
