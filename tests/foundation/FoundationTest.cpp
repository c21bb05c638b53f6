#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <QFile>
#include <QThread>

#include "support/Background.h"
#include "support/CancellationToken.h"
#include "support/Errors.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::Preferences;
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

TEST(Preferences, TheStandardStoreFollowsTheConfigFolderAndSurvivesReopening) {
    Preferences::standard()->setValue(u"user.persona"_s, u"x"_s);
    zorbel::test::TempXdg xdg;
    auto prefs = Preferences::standard();
    EXPECT_EQ(prefs->filePath(), xdg.configHome() + u"/com.zorbel.app.conf"_s);
    EXPECT_FALSE(prefs->contains(u"user.persona"_s));
    prefs->setValue(u"llm.provider"_s, u"ollama"_s);
    prefs->setValue(u"ui.ballOpacity"_s, 0.75);
    prefs->setValue(u"onboarding.version"_s, 2);
    prefs->setValue(u"defaults.migratedFromPinwave"_s, true);
    prefs->sync();
    ASSERT_TRUE(QFile::exists(prefs->filePath()));
    EXPECT_EQ(QFile::permissions(prefs->filePath()) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);

    // Another process reads the file back as text (a copy, past this process's settings cache):
    // the typed readers give the same answers.
    zorbel::test::writeFile(xdg.configHome() + u"/com.zorbel.copy.conf"_s,
                            zorbel::test::readFile(prefs->filePath()));
    Preferences reopened(u"com.zorbel.copy"_s);
    EXPECT_EQ(reopened.string(u"llm.provider"_s), u"ollama"_s);
    EXPECT_DOUBLE_EQ(reopened.number(u"ui.ballOpacity"_s).value(), 0.75);
    EXPECT_EQ(reopened.integer(u"onboarding.version"_s), 2);
    EXPECT_TRUE(reopened.boolean(u"defaults.migratedFromPinwave"_s));
    EXPECT_TRUE(reopened.allKeys().contains(u"llm.provider"_s));

    // Absent or wrong-typed values read as nothing.
    prefs->setValue(u"ui.skin"_s, u"not a number"_s);
    for (const QString& key : {u"missing"_s, u"ui.skin"_s}) {
        EXPECT_FALSE(prefs->integer(key) || prefs->number(key) || prefs->boolean(key));
    }
    EXPECT_FALSE(prefs->string(u"missing"_s));
    prefs->remove(u"ui.skin"_s);
    EXPECT_FALSE(prefs->contains(u"ui.skin"_s));
}
