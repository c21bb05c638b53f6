#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <QThread>

#include "support/Background.h"
#include "support/CancellationToken.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"

using zorbel::test::await;

TEST(CancellationToken, CopiesShareOneFlagAndCheckpointsThrow) {
    zorbel::CancellationToken token;
    const zorbel::CancellationToken copy = token;
    EXPECT_NO_THROW(copy.throwIfCancelled());
    token.cancel();
    EXPECT_TRUE(copy.isCancelled());
    EXPECT_THROW(copy.throwIfCancelled(), zorbel::CancelledError);
    EXPECT_FALSE(zorbel::CancellationToken().isCancelled());
}

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
