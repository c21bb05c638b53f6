#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "support/Background.h"
#include "support/CancellationToken.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"

using zorbel::test::spinUntil;

TEST(CancellationToken, CopiesShareOneFlagAndCheckpointsThrow) {
    zorbel::CancellationToken token;
    const zorbel::CancellationToken copy = token;
    EXPECT_NO_THROW(copy.throwIfCancelled());
    token.cancel();
    EXPECT_TRUE(copy.isCancelled());
    EXPECT_THROW(copy.throwIfCancelled(), zorbel::CancelledError);
    EXPECT_FALSE(zorbel::CancellationToken().isCancelled());
}

TEST(RunInBackground, WorksOffTheGuiThreadAndResumesOnIt) {
    QThread* const gui = QThread::currentThread();
    QThread* worker = nullptr;
    const auto work = [&worker] {
        worker = QThread::currentThread();
        return 42;
    };
    int result = 0;
    QThread* resumedOn = nullptr;
    bool finished = false;
    auto task = [](auto job, int& out, QThread*& thread, bool& done) -> QCoro::Task<void> {
        out = co_await zorbel::runInBackground(job);
        thread = QThread::currentThread();
        done = true;
    }(work, result, resumedOn, finished);
    ASSERT_TRUE(spinUntil([&] { return finished; }));
    EXPECT_EQ(result, 42);
    EXPECT_NE(worker, gui);
    EXPECT_EQ(resumedOn, gui);
}

TEST(RunInBackground, RethrowsTheWorkersTypedError) {
    try {
        zorbel::test::await(zorbel::runInBackground(
            [] { throw zorbel::NetworkError(zorbel::NetworkError::Code::timedOut, 5); }));
        ADD_FAILURE() << "no error";
    } catch (const zorbel::NetworkError& error) {
        EXPECT_EQ(error.code(), zorbel::NetworkError::Code::timedOut);
        EXPECT_EQ(error.detail(), 5);
    }
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(zorbel::test::await(zorbel::runInBackground([token] {
                     token.throwIfCancelled();
                     return QStringLiteral("never");
                 })),
                 zorbel::CancelledError);
    EXPECT_EQ(zorbel::test::await(zorbel::runInBackground([] { return QStringLiteral("ok"); })),
              QStringLiteral("ok"));
}
