// The secret store against a real gnome-keyring on a private session bus, and the one-time move
// of keys out of the preference store.

#include <gtest/gtest.h>
#include <QFile>

#include "llm/CredentialMigrator.h"
#include "llm/KeychainCredentialStore.h"
#include "llm/LLMClient.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/SecretStoreSession.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::CredentialMigrator;
using zorbel::KeychainCredentialStore;
using zorbel::KeychainError;
using zorbel::test::await;

namespace {

/// One keyring for the whole program, started before anything talks to D-Bus.
class Keyring : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_session = new zorbel::test::SecretStoreSession(); }
    static void TearDownTestSuite() {
        delete s_session;
        s_session = nullptr;
    }

    static zorbel::test::SecretStoreSession* s_session;
    zorbel::test::TempXdg xdg;
    KeychainCredentialStore store;
};

zorbel::test::SecretStoreSession* Keyring::s_session = nullptr;

}  // namespace

TEST_F(Keyring, StoresOneSecretPerAccountAndMissingIsNoValue) {
    EXPECT_EQ(await(store.credential(u"never-written"_s)), std::nullopt);
    await(store.setCredential(u"first"_s, u"deepseek"_s));
    await(store.setCredential(u"密钥 second "_s, u"deepseek"_s));
    await(store.setCredential(u"other"_s, u"kimi"_s));
    EXPECT_EQ(await(store.credential(u"deepseek"_s)), u"密钥 second "_s);
    EXPECT_EQ(await(store.credential(u"kimi"_s)), u"other"_s);
    EXPECT_NO_THROW(await(store.removeCredential(u"deepseek"_s)));
    EXPECT_NO_THROW(await(store.removeCredential(u"deepseek"_s)));
    EXPECT_EQ(await(store.credential(u"deepseek"_s)), std::nullopt);
    EXPECT_EQ(await(store.credential(u"kimi"_s)), u"other"_s);
}

TEST_F(Keyring, AKeySetThroughTheClientIsReadBackByAnotherButNeverWrittenToAFile) {
    const QString secret = u"sk-live-0123456789"_s;
    zorbel::test::LogCapture log;
    const auto defaults = zorbel::Preferences::standard();
    const zorbel::LLMPreset openai = zorbel::LLMClient::preset(u"openai"_s);
    {
        zorbel::LLMClient writer(defaults, std::make_shared<KeychainCredentialStore>());
        EXPECT_TRUE(await(writer.setKey(secret, openai)));
        defaults->setValue(u"llm.preset"_s, u"openai"_s);
    }
    zorbel::LLMClient reader(defaults, std::make_shared<KeychainCredentialStore>());
    EXPECT_EQ(await(reader.key(openai)), secret);
    EXPECT_EQ(reader.resolvedConfig()->apiKey, secret);
    EXPECT_TRUE(log.lines().isEmpty());
    defaults->sync();
    EXPECT_TRUE(QFile::exists(defaults->filePath()));
    EXPECT_FALSE(zorbel::test::anyFileContains(xdg.root(), secret.toUtf8()));
    EXPECT_FALSE(zorbel::test::anyFileContains(s_session->keyringFolder(), secret.toUtf8()));
}

TEST_F(Keyring, MigrationMovesEveryStoredKeyAndSetsTheMarker) {
    const auto defaults = zorbel::Preferences::standard();
    defaults->setValue(u"llm.apiKey"_s, u"old-custom"_s);
    defaults->setValue(u"llm.preset.custom.key"_s, u"newer-custom"_s);
    defaults->setValue(u"llm.preset.deepseek.key"_s, u"sk-deepseek"_s);
    defaults->setValue(u"llm.preset.qwen.key"_s, QString());
    CredentialMigrator migrator(defaults, std::make_shared<KeychainCredentialStore>());
    await(migrator.migrateIfNeeded());

    EXPECT_EQ(await(store.credential(u"custom"_s)), u"newer-custom"_s);
    EXPECT_EQ(await(store.credential(u"deepseek"_s)), u"sk-deepseek"_s);
    EXPECT_EQ(await(store.credential(u"qwen"_s)), std::nullopt);
    for (const char* key : {"llm.apiKey", "llm.preset.custom.key", "llm.preset.deepseek.key"}) {
        EXPECT_FALSE(defaults->contains(QLatin1String(key))) << key;
    }
    EXPECT_TRUE(defaults->contains(u"llm.preset.qwen.key"_s));
    EXPECT_TRUE(defaults->boolean(u"credentials.migratedToKeychain.v1"_s));
}

TEST(CredentialMigration, AFailedWriteRemovesNothingAndLeavesTheMarkerUnset) {
    zorbel::test::TempXdg xdg;
    const auto defaults = zorbel::Preferences::standard();
    const auto store = std::make_shared<zorbel::test::MemoryCredentialStore>();
    CredentialMigrator migrator(defaults, store);
    // Nothing to move still sets the marker.
    defaults->setValue(u"llm.apiKey"_s, QString());
    await(migrator.migrateIfNeeded());
    EXPECT_EQ(store->writes, 0);
    EXPECT_TRUE(defaults->contains(u"llm.apiKey"_s));
    EXPECT_TRUE(defaults->boolean(u"credentials.migratedToKeychain.v1"_s));

    defaults->remove(u"credentials.migratedToKeychain.v1"_s);
    defaults->setValue(u"llm.apiKey"_s, u"k-custom"_s);
    defaults->setValue(u"llm.preset.deepseek.key"_s, u"k-deepseek"_s);
    defaults->setValue(u"llm.preset.openai.key"_s, u"k-openai"_s);
    store->failingWrite = 2;
    const auto error =
        zorbel::test::thrown<KeychainError>([&] { await(migrator.migrateIfNeeded()); });
    EXPECT_EQ(error.value().status(), 5);
    EXPECT_EQ(store->writes, 2);
    EXPECT_EQ(store->secrets, (QHash<QString, QString>{{u"custom"_s, u"k-custom"_s}}));
    for (const char* key : {"llm.apiKey", "llm.preset.deepseek.key", "llm.preset.openai.key"}) {
        EXPECT_TRUE(defaults->contains(QLatin1String(key))) << key;
    }
    EXPECT_FALSE(defaults->contains(u"credentials.migratedToKeychain.v1"_s));

    // The next start runs the whole move again; after that it does nothing.
    await(migrator.migrateIfNeeded());
    EXPECT_EQ(store->secrets.size(), 3);
    EXPECT_FALSE(defaults->contains(u"llm.preset.openai.key"_s));
    defaults->setValue(u"llm.apiKey"_s, u"written later"_s);
    await(migrator.migrateIfNeeded());
    EXPECT_EQ(store->writes, 5);
    EXPECT_TRUE(defaults->contains(u"llm.apiKey"_s));
}
