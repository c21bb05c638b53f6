// zorbel-extract on the road of a saved CalDAV password: a real gnome-keyring on a private
// session bus holds it, Radicale lets in only that password, and the model call before the
// write goes out with no key stored. A program of its own: D-Bus connections are kept for the
// life of a process.

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>

#include "cli/ExtractRun.h"
#include "llm/KeychainCredentialStore.h"
#include "support/Preferences.h"
#include "testkit/CalDavServers.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/SecretStoreSession.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;

TEST(ExtractWithKeyring, WritesToCalDavWithTheStoredPasswordAfterAModelCallWithoutKey) {
    if (!zorbel::test::RadicaleServer::isInstalled()) GTEST_SKIP() << "radicale is not installed";
    zorbel::test::SecretStoreSession keyring;
    zorbel::test::TempXdg xdg;
    zorbel::test::ChatCompletionsServer model;
    model.answerContent(
        uR"({"events":[{"title":"项目评审","start_time":"2026-12-07T15:00:00",)"
        uR"("end_time":"2026-12-07T16:00:00","location":"301"}]})"_s);
    zorbel::test::RadicaleServer calendar;
    ASSERT_TRUE(calendar.requirePassword(u"alice"_s));
    ASSERT_TRUE(calendar.start());
    ASSERT_TRUE(calendar.makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, {}));

    zorbel::KeychainCredentialStore store;
    zorbel::test::await(store.setCredential(QLatin1String(calendar.kPassword), u"caldav"_s));
    const auto prefs = zorbel::Preferences::standard();
    prefs->setValue(u"llm.preset"_s, u"custom"_s);
    prefs->setValue(u"llm.baseURL"_s, model.url());
    prefs->setValue(u"llm.model"_s, u"test-model"_s);
    prefs->setValue(u"calendar.store"_s, u"caldav"_s);
    prefs->setValue(u"calendar.caldav.url"_s, calendar.url().toString());
    prefs->setValue(u"calendar.caldav.user"_s, u"alice"_s);
    prefs->sync();

    const QStringList write{u"--allow-cloud"_s, u"--write"_s, u"--text"_s,
                            u"明天下午3点在301开项目评审"_s};
    const zorbel::test::ExtractOutcome written = zorbel::test::runExtract(write, {}, {}, true);
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(written.out)[u"created"_s].toArray().size(), 1)
        << written.out.toStdString();
    ASSERT_EQ(model.requests().size(), 1);
    EXPECT_TRUE(model.requests().first().header("Authorization").isEmpty());

    // A wrong password in the store: the server refuses it and the command fails.
    zorbel::test::await(store.setCredential(u"not the password"_s, u"caldav"_s));
    EXPECT_NE(zorbel::test::runExtract(write, {}, {}, true).exitCode, 0);
}
