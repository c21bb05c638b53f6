// The frame clock, driven with a zero interval so that ticks come on every pass of the event
// loop instead of every sixtieth of a second.

#include <gtest/gtest.h>
#include <QTimer>

#include "testkit/EventLoop.h"
#include "ui/ball/BallAnimationClock.h"

using zorbel::BallAnimationClock;
using zorbel::test::spinUntil;

namespace {

constexpr std::chrono::milliseconds kImmediately{0};

// Lets the event loop run a number of passes (timers and posted calls included).
void runPasses(int passes) {
    for (int i = 0; i < passes; ++i) QCoreApplication::processEvents();
}

}  // namespace

TEST(BallAnimationClock, RunsOneSixtiethSecondTimerAtMost) {
    BallAnimationClock clock;
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.timer(), nullptr);
    clock.stop();  // harmless when stopped
    EXPECT_FALSE(clock.isRunning());

    clock.start();
    const QTimer* timer = clock.timer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(clock.isRunning());
    EXPECT_TRUE(timer->isActive());
    EXPECT_FALSE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 16);
    clock.start();
    EXPECT_EQ(clock.timer(), timer);  // the same timer, no second one

    clock.stop();
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.timer(), nullptr);
}

TEST(BallAnimationClock, TicksLaterOnTheEventLoopUntilStopped) {
    BallAnimationClock clock(kImmediately);
    int ticks = 0;
    clock.setOnTick([&] { ++ticks; });
    clock.start();
    EXPECT_EQ(ticks, 0);  // nothing is called from `start` itself
    EXPECT_TRUE(spinUntil([&] { return ticks >= 3; }));

    clock.stop();
    runPasses(5);  // a firing already posted may still arrive
    const int afterStop = ticks;
    runPasses(20);
    EXPECT_EQ(ticks, afterStop);

    clock.start();  // and it starts again
    EXPECT_TRUE(spinUntil([&] { return ticks > afterStop; }));
}

TEST(BallAnimationClock, TicksWithoutCallbackOrAfterTheClockIsGoneDoNothing) {
    int ticks = 0;
    {
        BallAnimationClock silent(kImmediately);
        silent.start();
        runPasses(5);  // no callback set: firings are dropped
        silent.setOnTick([&] { ++ticks; });
        EXPECT_TRUE(spinUntil([&] { return ticks > 0; }));
    }
    // The clock went away while running (nothing stopped it): leftover firings are harmless.
    const int before = ticks;
    runPasses(20);
    EXPECT_EQ(ticks, before);
}
