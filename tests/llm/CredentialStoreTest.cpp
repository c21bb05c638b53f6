// The secret store against a real gnome-keyring on a private session bus, and the one-time move
// of keys out of the preference store.

#include <gtest/gtest.h>

#include "llm/CredentialMigrator.h"
#include "llm/KeychainCredentialStore.h"
#include "testkit/EventLoop.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/SecretStoreSession.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::CredentialMigrator;
using zorbel::KeychainCredentialStore;
using zorbel::test::await;

TEST(Keyring, StoresOneSecretPerAccountAndMissingIsNoValueAndWritesNoFile) {
    const zorbel::test::SecretStoreSession session;
    const zorbel::test::TempXdg xdg;
    KeychainCredentialStore store;
    EXPECT_EQ(await(store.credential(u"never-written"_s)), std::nullopt);
    await(store.setCredential(u"first"_s, u"deepseek"_s));
    await(store.setCredential(u"密钥 second "_s, u"deepseek"_s));
    await(store.setCredential(u"other"_s, u"kimi"_s));
    EXPECT_EQ(await(store.credential(u"deepseek"_s)), u"密钥 second "_s);
    EXPECT_NO_THROW(await(store.removeCredential(u"deepseek"_s)));
    EXPECT_NO_THROW(await(store.removeCredential(u"deepseek"_s)));
    EXPECT_EQ(await(store.credential(u"deepseek"_s)), std::nullopt);
    EXPECT_EQ(await(store.credential(u"kimi"_s)), u"other"_s);
    EXPECT_FALSE(zorbel::test::anyFileContains(xdg.root(), u"密钥 second"_s.toUtf8()));
}

// The one-time move of keys out of the preference store: all of them or, when a write fails,
// none, and again at the next start.
TEST(CredentialMigration, MovesEveryStoredKeyOnceAndNoneWhenAWriteFails) {
    zorbel::test::TempXdg xdg;
    const auto defaults = zorbel::Preferences::standard();
    const auto store = std::make_shared<zorbel::test::MemoryCredentialStore>();
    CredentialMigrator migrator(defaults, store);
    const QString marker = u"credentials.migratedToKeychain.v1"_s;
    const QStringList moved{u"llm.apiKey"_s, u"llm.preset.custom.key"_s,
                            u"llm.preset.deepseek.key"_s};
    defaults->setValue(moved[0], u"old-custom"_s);
    defaults->setValue(moved[1], u"newer-custom"_s);
    defaults->setValue(moved[2], u"sk-deepseek"_s);
    defaults->setValue(u"llm.preset.qwen.key"_s, QString());
    store->failingWrite = 2;
    const auto error =
        zorbel::test::thrown<zorbel::KeychainError>([&] { await(migrator.migrateIfNeeded()); });
    EXPECT_EQ(error.value().status(), 5);
    for (const QString& key : moved) EXPECT_TRUE(defaults->contains(key)) << key.toStdString();
    EXPECT_FALSE(defaults->contains(marker));

    await(migrator.migrateIfNeeded());
    EXPECT_EQ(store->secrets, (QHash<QString, QString>{{u"custom"_s, u"newer-custom"_s},
                                                       {u"deepseek"_s, u"sk-deepseek"_s}}));
    for (const QString& key : moved) EXPECT_FALSE(defaults->contains(key)) << key.toStdString();
    EXPECT_TRUE(defaults->contains(u"llm.preset.qwen.key"_s));
    EXPECT_TRUE(defaults->boolean(marker));

    // After that it does nothing.
    const int writes = store->writes;
    defaults->setValue(moved[0], u"written later"_s);
    await(migrator.migrateIfNeeded());
    EXPECT_EQ(store->writes, writes);
    EXPECT_TRUE(defaults->contains(moved[0]));
}
