// A Secret Service that takes every call and never answers (a locked keyring waiting on its
// prompt, a hung daemon): each access fails after the time-out and nothing is written. A program
// of its own: D-Bus connections are kept for the life of a process.

#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QElapsedTimer>

#include "llm/KeychainCredentialStore.h"
#include "testkit/EventLoop.h"
#include "testkit/SecretStoreSession.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using zorbel::KeychainCredentialStore;

namespace {

/// Accepts every method call on every path and never replies.
class SilentService final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        calls += message.type() == QDBusMessage::MethodCallMessage;
        return true;
    }
    int calls = 0;
};

}  // namespace

TEST(KeychainUnanswered, EveryAccessFailsWithinTheTimeOutAndNothingIsWritten) {
    zorbel::test::SecretStoreSession bus(zorbel::test::SecretStoreSession::Service::none);
    zorbel::test::TempXdg xdg;
    QDBusConnection service = QDBusConnection::connectToBus(
        QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), u"silent-secrets"_s);
    ASSERT_TRUE(service.isConnected());
    SilentService silent;
    ASSERT_TRUE(service.registerVirtualObject(u"/"_s, &silent, QDBusConnection::SubPath));
    ASSERT_TRUE(service.registerService(u"org.freedesktop.secrets"_s));

    const auto limit = 400ms;
    KeychainCredentialStore store(limit);
    const auto failsInTime = [&](auto task) {
        QElapsedTimer clock;
        clock.start();
        const auto error = zorbel::test::thrown<zorbel::KeychainError>(
            [&] { zorbel::test::await(std::move(task)); });
        ASSERT_TRUE(error) << "an unanswered store gave a result";
        EXPECT_EQ(error->status(), 7) << "QKeychain::OtherError, as for a broken store";
        EXPECT_GE(clock.elapsed(), limit.count() - 50);
        EXPECT_LT(clock.elapsed(), 5000) << "bounded by the time-out, not by D-Bus";
    };
    failsInTime(store.credential(u"caldav"_s));
    // Jobs queue behind the unanswered one; each fails on its own time-out.
    failsInTime(store.setCredential(u"sk-hung"_s, u"kimi"_s));
    failsInTime(store.removeCredential(u"kimi"_s));
    EXPECT_GE(silent.calls, 1) << "the store was asked";
    EXPECT_FALSE(zorbel::test::anyFileContains(xdg.root(), "sk-hung"));
    service.unregisterService(u"org.freedesktop.secrets"_s);
    QDBusConnection::disconnectFromBus(u"silent-secrets"_s);
}
