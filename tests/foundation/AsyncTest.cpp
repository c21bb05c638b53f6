#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <QThread>

#include "support/Background.h"
#include "support/CancellationToken.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"

using zorbel::test::await;
using zorbel::test::spinUntil;

namespace {

QCoro::Task<std::pair<QThread*, QThread*>> workerAndResumingThreads() {
    QThread* const worker =
        co_await zorbel::runInBackground([] { return QThread::currentThread(); });
    co_return std::pair{worker, QThread::currentThread()};
}

}  // namespace

TEST(RunInBackground, WorksOffTheGuiThreadResumesOnItAndRethrowsTypedErrors) {
    const auto [worker, resumedOn] = await(workerAndResumingThreads());
    EXPECT_NE(worker, QThread::currentThread());
    EXPECT_EQ(resumedOn, QThread::currentThread());
    try {
        await(zorbel::runInBackground(
            [] { throw zorbel::NetworkError(zorbel::NetworkError::Code::timedOut, 5); }));
        ADD_FAILURE() << "no error";
    } catch (const zorbel::NetworkError& error) {
        EXPECT_EQ(error.code(), zorbel::NetworkError::Code::timedOut);
        EXPECT_EQ(error.detail(), 5);
    }
}

// A cancel from a worker thread, through a copy, reaches each watcher on the GUI thread once; a
// watcher that starts after the cancel still hears of it, one gone or disconnected hears nothing.
TEST(CancellationToken, CopiesShareOneFlagAndTellTheirWatchersOnTheirOwnThread) {
    const zorbel::CancellationToken token;
    EXPECT_NO_THROW(token.throwIfCancelled());
    QObject context;
    auto gone = std::make_unique<QObject>();
    int early = 0, withdrawn = 0, late = 0;
    bool onGuiThread = false;
    token.onCancel(&context, [&] {
        ++early;
        onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    token.onCancel(gone.get(), [] { ADD_FAILURE() << "a gone watcher was called"; });
    QObject::disconnect(token.onCancel(&context, [&] { ++withdrawn; }));
    gone.reset();

    std::unique_ptr<QThread> worker(QThread::create([copy = token] { copy.cancel(); }));
    worker->start();
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_TRUE(token.isCancelled());
    EXPECT_THROW(token.throwIfCancelled(), zorbel::CancelledError);
    ASSERT_TRUE(spinUntil([&] { return early > 0; }));
    EXPECT_TRUE(onGuiThread);
    token.onCancel(&context, [&] { ++late; });
    ASSERT_TRUE(spinUntil([&] { return late > 0; }));
    token.cancel();  // a second cancel tells nobody again
    QCoreApplication::processEvents();
    EXPECT_EQ(early + late, 2);
    EXPECT_EQ(withdrawn, 0);
    EXPECT_FALSE(zorbel::CancellationToken().isCancelled());
}
