// Every state of every skin at 128 × 128 points, scale 2, against tests/ball/reference/;
// ZORBEL_BALL_WRITE_REFERENCES=<folder> writes them there instead (update-references.sh).

#include <gtest/gtest.h>
#include <QDir>

#include "testkit/BallImage.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/GlassBallRenderer.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

TEST(BallReference, EveryStateOfEverySkinLooksAsRecorded) {
    // Times chosen to show the moving parts: the pulse at its widest, the success ring early,
    // the aurora past its inhale. Only processing is drawn by the aurora renderer.
    const struct {
        const char* name;
        CaptureState state;
        double time;
    } poses[] = {
        {"idle", CaptureState::idle(), 0.0},
        {"dropTarget", CaptureState::dropTarget(), 0.0},
        {"recording", CaptureState::recording(), 0.25},
        {"confirmation", CaptureState::confirmation(), 0.0},
        {"success", CaptureState::success({QStringLiteral("Zorbel"), 2}), 0.1},
        {"failure", CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::network)),
         0.0},
        {"processing", CaptureState::processing(ProcessingStage::understanding), 0.6},
    };
    const QString writeTo = qEnvironmentVariable("ZORBEL_BALL_WRITE_REFERENCES");
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        for (const auto& pose : poses) {
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
            // Small rounding differences between compilers are allowed; a moved or recoloured
            // layer changes far more pixels by far more.
            const test::ImageDifference diff = test::compareImages(image, reference, 3);
            const bool same =
                diff.differingPixels <= image.width() * image.height() / 500 && diff.largest <= 24;
            if (!same) image.save(name.chopped(4) + u".fail.png"_s);
            EXPECT_TRUE(same) << diff.differingPixels << " pixels differ, largest difference "
                              << diff.largest << "; the drawn image is in the working folder";
        }
    }
}
