// Where a released ball docks, where the status panel goes and where the ball starts.

#include <gtest/gtest.h>
#include <QWidget>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"
#include "ui/ball/EdgeSnapController.h"
#include "ui/status/ProcessingStatusPanel.h"

using namespace zorbel;

TEST(EdgeSnapDecision, ThirtyPointsTiesLeftOffScreenIsNearAndTheMajorityScreenCounts) {
    const auto snap = [](double centreX, double left = 0, double right = 1000) {
        return EdgeSnapController::snapDecision(centreX, left, right, 64, 30);
    };
    EXPECT_EQ(snap(62), SnapEdge::left);  // 30 points from the left edge: centre at 30 + 32
    EXPECT_EQ(snap(62.5), std::nullopt);
    EXPECT_EQ(snap(1000 - 62), SnapEdge::right);
    EXPECT_EQ(snap(50, 0, 100), SnapEdge::left);  // midway
    EXPECT_EQ(snap(-20), SnapEdge::left);
    EXPECT_EQ(snap(1010), SnapEdge::right);

    // Half and half goes to the earlier screen; touching an edge is no overlap.
    const auto majority = [](double x) {
        return EdgeSnapController::screenIndexContainingMajority(
            {x, 10, 64, 64}, {{0, 0, 1000, 800}, {1000, 0, 1000, 800}});
    };
    EXPECT_EQ(majority(968), 0);
    EXPECT_EQ(majority(3000), std::nullopt);
    EXPECT_EQ(majority(-64), std::nullopt);
}

TEST(StatusPanelPlacement, RightOfTheBallElseLeftElseBelowAlwaysInside) {
    const auto at = [](double x, double y, QList<QRectF> frames = {{0, 0, 1280, 800}}) {
        QList<ScreenInfo> screens;
        for (const QRectF& frame : frames) screens.append({frame, frame, quint32(screens.size())});
        return ProcessingStatusPanel::placement({x, y, 64, 64}, screens);
    };
    EXPECT_EQ(at(100, 300), QPointF(174, 300));   // right of the ball, vertically centred on it
    EXPECT_EQ(at(1200, 300), QPointF(910, 300));  // at the right edge: to the left
    EXPECT_EQ(at(100, 0).y(), 8);                 // near the top and the bottom: 8 points inside
    EXPECT_EQ(at(100, 760).y(), 800 - 72);
    EXPECT_EQ(at(168, 300, {{0, 0, 400, 800}}), QPointF(60, 374));  // neither side: below, centred
    EXPECT_EQ(at(68, 300, {{0, 0, 200, 800}}).x(), 200 - 288);  // narrower: the upper bound wins
    // The screen is the first one the ball touches, not the main one; without one, no clamping.
    EXPECT_EQ(at(2000, 100, {{0, 0, 1280, 800}, {1280, 0, 800, 600}}), QPointF(1710, 100));
    EXPECT_EQ(at(100, 0, {}), QPointF(174, 0));
}

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

TEST_F(EdgeSnapRestoreTest, TheRememberedFrameIsUsedOnlyWhileItsScreenIsThereElseTheDefault) {
    auto fresh = controller();
    EXPECT_EQ(fresh->parkedScreenID(), 11u);
    fresh->restorePosition();
    EXPECT_EQ(window.geometry(), defaultFrame);

    defaults()->setValue(EdgeSnapController::parkedFrameKey, QRectF(2250, 10, 64, 64));
    defaults()->setValue(EdgeSnapController::parkedScreenIDKey, 22);
    controller()->restorePosition();
    EXPECT_EQ(window.geometry(), QRect(2250, 10, 64, 64));  // as stored, partly off-screen

    // An unreadable frame counts as absent: the default position, which needs no storing.
    defaults()->setValue(EdgeSnapController::parkedFrameKey, QStringLiteral("garbage"));
    controller()->restorePosition();
    EXPECT_EQ(window.geometry(), defaultFrame);
    // A screen gone or an identifier beyond 32 bits or negative: the default, now stored.
    for (const QVariant& screenID : {QVariant(33), QVariant(qint64(5000000000)), QVariant(-1)}) {
        defaults()->setValue(EdgeSnapController::parkedFrameKey, QRectF(1500, 10, 64, 64));
        defaults()->setValue(EdgeSnapController::parkedScreenIDKey, screenID);
        window.setGeometry(0, 0, 64, 64);
        controller()->restorePosition();
        EXPECT_EQ(window.geometry(), defaultFrame) << screenID.toString().toStdString();
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
