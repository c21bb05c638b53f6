// The secret store with no session bus at all. A program of its own: D-Bus connections are
// kept for the life of a process, so this cannot share one with the keyring tests.

#include <gtest/gtest.h>

#include "llm/KeychainCredentialStore.h"
#include "testkit/EventLoop.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::KeychainCredentialStore;
using zorbel::KeychainError;

TEST(KeychainWithoutService, FailsWithTheStoresCodeAndWritesNoFile) {
    // No session bus at all: every call fails, nothing falls back to a file.
    zorbel::test::TempXdg xdg;
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zorbel-test-bus");
    KeychainCredentialStore store;
    const auto error = zorbel::test::thrown<KeychainError>(
        [&] { zorbel::test::await(store.setCredential(u"sk-nowhere"_s, u"kimi"_s)); });
    EXPECT_EQ(error.value().status(), 7) << "QKeychain::OtherError";
    EXPECT_THROW(zorbel::test::await(store.credential(u"kimi"_s)), KeychainError);
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    EXPECT_FALSE(zorbel::test::anyFileContains(xdg.root(), "sk-nowhere"));
}
