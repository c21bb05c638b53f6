// Where the ball starts: the remembered free-standing frame when its screen is still there,
// the default position on the main screen otherwise; and docking on the screen that holds most
// of the window.

#include <gtest/gtest.h>
#include <QWidget>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"
#include "ui/ball/EdgeSnapController.h"

using namespace zorbel;

namespace {

class EdgeSnapRestoreTest : public ::testing::Test {
protected:
    EdgeSnapRestoreTest() { window.setFixedSize(64, 64); }

    std::unique_ptr<EdgeSnapController> controller() {
        return std::make_unique<EdgeSnapController>(
            &window, [this] { return screens; },
            EdgeSnapController::Timing{std::chrono::milliseconds(0), std::chrono::milliseconds(0)});
    }
    std::shared_ptr<Preferences> defaults() const { return Preferences::standard(); }

    zorbel::test::TempXdg xdg;
    QWidget window;
    // The main screen's visible frame leaves out a 40-point panel at the top.
    QList<ScreenInfo> screens{{{0, 0, 1280, 800}, {0, 40, 1280, 760}, 11},
                              {{1280, 0, 1000, 800}, {1280, 0, 1000, 800}, 22}};
    const QRect defaultFrame{800, 388, 64, 64};  // centre (640 + 192, 420)
};

}  // namespace

TEST_F(EdgeSnapRestoreTest, FreshStartUsesTheDefaultPositionOnTheMainScreen) {
    auto snap = controller();
    EXPECT_EQ(snap->parkedScreenID(), 11u);
    snap->restorePosition();
    EXPECT_EQ(window.geometry(), defaultFrame);
}

TEST_F(EdgeSnapRestoreTest, RememberedFrameIsUsedWhileItsScreenIsConnected) {
    defaults()->setValue(EdgeSnapController::parkedFrameKey, QRectF(2250, 10, 64, 64));
    defaults()->setValue(EdgeSnapController::parkedScreenIDKey, 22);
    controller()->restorePosition();
    EXPECT_EQ(window.geometry(), QRect(2250, 10, 64, 64));  // as stored, partly off-screen
}

TEST_F(EdgeSnapRestoreTest, MissingScreenOrUntrustworthyValuesFallBackToTheDefaultAndPersistIt) {
    struct Case {
        QVariant frame;
        QVariant screenID;
    };
    // An unreadable frame counts as absent: the default position, which needs no storing.
    defaults()->setValue(EdgeSnapController::parkedFrameKey, QStringLiteral("garbage"));
    defaults()->setValue(EdgeSnapController::parkedScreenIDKey, 22);
    controller()->restorePosition();
    EXPECT_EQ(window.geometry(), defaultFrame);

    const QList<Case> cases{{QRectF(1500, 10, 64, 64), 33},                  // screen gone
                            {QRectF(1500, 10, 64, 64), qint64(5000000000)},  // beyond 32 bits
                            {QRectF(1500, 10, 64, 64), -1}};
    for (const Case& c : cases) {
        defaults()->setValue(EdgeSnapController::parkedFrameKey, c.frame);
        defaults()->setValue(EdgeSnapController::parkedScreenIDKey, c.screenID);
        window.setGeometry(0, 0, 64, 64);
        auto snap = controller();
        snap->restorePosition();
        EXPECT_EQ(window.geometry(), defaultFrame) << c.screenID.toString().toStdString();
        EXPECT_EQ(defaults()->value(EdgeSnapController::parkedFrameKey).toRectF(),
                  QRectF(defaultFrame));
        EXPECT_EQ(defaults()->integer(EdgeSnapController::parkedScreenIDKey), 11);
    }
}

TEST_F(EdgeSnapRestoreTest, StraddlingWindowDocksOnTheScreenHoldingMostOfIt) {
    auto snap = controller();
    window.setGeometry(1270, 100, 64, 64);  // 54 points on the second screen
    ASSERT_TRUE(snap->handleRelease());
    EXPECT_EQ(snap->hiddenEdge(), SnapEdge::left);
    EXPECT_EQ(window.geometry(), QRect(1236, 100, 64, 64));

    snap->unhideForDrag();
    window.setGeometry(1700, -30, 64, 64);
    EXPECT_FALSE(snap->handleRelease());
    EXPECT_EQ(snap->parkedScreenID(), 22u);
    EXPECT_EQ(defaults()->value(EdgeSnapController::parkedFrameKey).toRectF(),
              QRectF(1700, -30, 64, 64));

    // Released within 30 points of the right edge while partly above the screen.
    window.setGeometry(2200, -30, 64, 64);
    ASSERT_TRUE(snap->handleRelease());
    EXPECT_EQ(snap->hiddenEdge(), SnapEdge::right);
    EXPECT_EQ(window.geometry(), QRect(2260, 0, 64, 64));
}
