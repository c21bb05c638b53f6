// The frame clock, with a zero interval: a tick on every pass of the event loop.

#include <gtest/gtest.h>
#include <QTimer>

#include "testkit/EventLoop.h"
#include "ui/ball/BallAnimationClock.h"

using zorbel::BallAnimationClock;
using zorbel::test::spinUntil;

namespace {

void runPasses(int passes) {
    for (int i = 0; i < passes; ++i) QCoreApplication::processEvents();
}

}  // namespace

TEST(BallAnimationClock, OneRepeatingTimerTicksLaterOnTheEventLoopUntilStoppedOrGone) {
    int ticks = 0;
    auto clock = std::make_unique<BallAnimationClock>(std::chrono::milliseconds(0));
    clock->start();
    runPasses(5);  // no callback set: firings are dropped
    clock->setOnTick([&] { ++ticks; });
    const QTimer* timer = clock->timer();
    clock->start();
    EXPECT_EQ(clock->timer(), timer);  // the same timer, no second one
    EXPECT_EQ(ticks, 0);               // nothing is called from `start` itself
    EXPECT_TRUE(spinUntil([&] { return ticks >= 3; }));

    clock->stop();
    EXPECT_FALSE(clock->isRunning());
    runPasses(5);  // a firing already posted may still arrive
    int before = ticks;
    runPasses(20);
    EXPECT_EQ(ticks, before);
    clock->start();  // and it starts again
    EXPECT_TRUE(spinUntil([&] { return ticks > before; }));
    // Gone while running (nothing stopped it): leftover firings are harmless.
    clock.reset();
    before = ticks;
    runPasses(20);
    EXPECT_EQ(ticks, before);
}
