#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <memory>

#include "support/CancellationToken.h"
#include "testkit/EventLoop.h"

using zorbel::test::spinUntil;

// A cancel from a worker thread reaches each watcher on the GUI thread, a watcher that starts
// after the cancel still hears of it, and a watcher that is gone or disconnected hears nothing.
TEST(CancellationToken, TellsItsWatchersOnTheirOwnThread) {
    const zorbel::CancellationToken token;
    QObject context;
    auto gone = std::make_unique<QObject>();
    int early = 0;
    int withdrawn = 0;
    int late = 0;
    bool onGuiThread = false;
    token.onCancel(&context, [&] {
        ++early;
        onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    token.onCancel(gone.get(), [] { ADD_FAILURE() << "a gone watcher was called"; });
    QObject::disconnect(token.onCancel(&context, [&] { ++withdrawn; }));
    gone.reset();
    EXPECT_EQ(early, 0);

    std::unique_ptr<QThread> worker(QThread::create([token] { token.cancel(); }));
    worker->start();
    ASSERT_TRUE(worker->wait(5000));
    ASSERT_TRUE(spinUntil([&] { return early > 0; }));
    EXPECT_TRUE(onGuiThread);

    token.onCancel(&context, [&] { ++late; });
    ASSERT_TRUE(spinUntil([&] { return late > 0; }));
    token.cancel();  // a second cancel tells nobody again
    QCoreApplication::processEvents();
    EXPECT_EQ(early, 1);
    EXPECT_EQ(late, 1);
    EXPECT_EQ(withdrawn, 0);
}
