// The frame clock, driven with a zero interval so that ticks come on every pass of the event
// loop instead of every sixtieth of a second.

#include <gtest/gtest.h>
#include <QTimer>

#include "testkit/EventLoop.h"
#include "ui/ball/BallAnimationClock.h"

using zorbel::BallAnimationClock;
using zorbel::test::spinUntil;

namespace {

// Lets the event loop run a number of passes (timers and posted calls included).
void runPasses(int passes) {
    for (int i = 0; i < passes; ++i) QCoreApplication::processEvents();
}

}  // namespace

TEST(BallAnimationClock, OneRepeatingTimerTicksLaterOnTheEventLoopUntilStopped) {
    BallAnimationClock sixty;
    sixty.start();
    ASSERT_NE(sixty.timer(), nullptr);
    EXPECT_EQ(sixty.timer()->interval(), 16);
    EXPECT_FALSE(sixty.timer()->isSingleShot());

    BallAnimationClock clock(std::chrono::milliseconds(0));
    int ticks = 0;
    clock.setOnTick([&] { ++ticks; });
    clock.start();
    const QTimer* timer = clock.timer();
    clock.start();
    EXPECT_EQ(clock.timer(), timer);  // the same timer, no second one
    EXPECT_EQ(ticks, 0);              // nothing is called from `start` itself
    EXPECT_TRUE(spinUntil([&] { return ticks >= 3; }));

    clock.stop();
    EXPECT_FALSE(clock.isRunning());
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
        BallAnimationClock silent(std::chrono::milliseconds(0));
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
