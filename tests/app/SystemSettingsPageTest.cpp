// This desktop's settings page (calendar store, speech, autostart) through its own controls.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/Widgets.h"
#include "llm/KeychainCredentialStore.h"
#include "support/Autostart.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/SecretStoreSession.h"
#include "testkit/TempXdg.h"
#include "ui/settings/SystemSettingsPage.h"

using namespace zorbel;

namespace {

/// The page over the real secret store: a gnome-keyring on a private bus, one per process.
struct Page {
    static test::SecretStoreSession& keyring() {
        static test::SecretStoreSession session;
        return session;
    }

    test::SecretStoreSession& session = keyring();
    test::TempXdg xdg;
    std::shared_ptr<KeychainCredentialStore> credentials =
        std::make_shared<KeychainCredentialStore>();
    SystemSettingsPage page{credentials};

    Page() { page.refresh(); }

    std::optional<QString> secret(const QString& account) const {
        return test::await(credentials->credential(account));
    }
    template <typename T>
    T* find(const char* name) const {
        return test::child<T>(&page, name);
    }
    void enter(const char* field, const QString& text) {
        test::enter(find<QLineEdit>(field), text);
    }
    void chooseCalDav() {
        auto* popup = find<QComboBox>("calendarStorePopup");
        popup->setCurrentIndex(1);
        Q_EMIT popup->activated(1);
    }
    QString testConnection() {
        auto* button = find<QPushButton>("testConnectionButton");
        button->click();
        EXPECT_TRUE(test::spinUntil([&] { return button->isEnabled(); }));
        return find<QLabel>("calendarStatusLabel")->text();
    }
    QString stored(const char* key) const {
        return Preferences::standard()->string(QLatin1String(key)).value_or(QString());
    }
};

}  // namespace

TEST(SystemSettingsPage, FieldsAreSavedTrimmedAndSecretsExactlyAndOnlyInTheSecretStore) {
    Page page;
    EXPECT_FALSE(page.find<QLineEdit>("caldavURLField")->isEnabled());
    EXPECT_EQ(page.testConnection(), u"找到 1 个日历：Zorbel");  // the local folder by default

    page.chooseCalDav();
    EXPECT_EQ(page.stored("calendar.store"), u"caldav");
    EXPECT_TRUE(page.find<QLineEdit>("caldavURLField")->isEnabled());
    page.enter("caldavURLField", QStringLiteral(" http://127.0.0.1:9/dav/ "));
    page.enter("caldavUserField", QStringLiteral("anna"));
    page.enter("caldavPasswordField", QStringLiteral(" pw "));
    page.enter("speechURLField", QStringLiteral("http://127.0.0.1:8080/v1"));
    page.enter("speechModelField", QStringLiteral(" whisper-1 "));
    page.enter("speechKeyField", QStringLiteral("sk-speech"));
    EXPECT_EQ(page.stored("calendar.caldav.url"), u"http://127.0.0.1:9/dav/");
    EXPECT_EQ(page.stored("calendar.caldav.user"), u"anna");
    EXPECT_EQ(page.stored("speech.baseURL"), u"http://127.0.0.1:8080/v1");
    EXPECT_EQ(page.stored("speech.model"), u"whisper-1");
    EXPECT_EQ(page.secret(QStringLiteral("caldav")), u" pw ");
    EXPECT_EQ(page.secret(QStringLiteral("speech")), u"sk-speech");
    Preferences::standard()->sync();
    const QByteArray written = test::readFile(Preferences::standard()->filePath());
    ASSERT_FALSE(written.isEmpty());
    EXPECT_FALSE(written.contains(" pw ") || written.contains("sk-speech"));
    EXPECT_TRUE(page.testConnection().startsWith(u"连接失败："));  // nothing listens there

    // Opened again, the page shows the stored password; a cleared key leaves the store.
    SystemSettingsPage again{page.credentials};
    again.refresh();
    auto* field = test::child<QLineEdit>(&again, "caldavPasswordField");
    EXPECT_TRUE(test::spinUntil([&] { return field->text() == u" pw "; }));
    page.enter("speechKeyField", QString());
    EXPECT_EQ(page.secret(QStringLiteral("speech")), std::nullopt);
}

TEST(SystemSettingsPage, StartingAtLoginWritesAQuotedEntryAndRemovesIt) {
    Page page;
    auto* box = page.find<QCheckBox>("autostartBox");
    EXPECT_FALSE(box->isChecked());
    box->setChecked(true);
    ASSERT_TRUE(Autostart::isEnabled());
    EXPECT_TRUE(Autostart::entryPath().startsWith(page.xdg.configHome()));
    page.page.refresh();
    EXPECT_TRUE(box->isChecked());
    box->setChecked(false);
    EXPECT_FALSE(Autostart::isEnabled());

    ASSERT_TRUE(Autostart::setEnabled(true, QStringLiteral("/opt/my \"apps\"/$zorbel")));
    const QByteArray text = test::readFile(Autostart::entryPath());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=\"/opt/my \\\"apps\\\"/\\$zorbel\"\n")) << text.constData();
}

TEST(SystemSettingsPage, AnEntryOfTheEarlierNameShowsTickedAndGoesWhenUnticked) {
    Page page;
    const QString legacy = page.xdg.configHome() + QStringLiteral("/autostart/zorbel.desktop");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(legacy).absolutePath()));
    test::writeFile(legacy, {});
    page.page.refresh();
    auto* box = page.find<QCheckBox>("autostartBox");
    EXPECT_TRUE(box->isChecked());
    box->setChecked(false);
    EXPECT_FALSE(QFile::exists(legacy));
    EXPECT_FALSE(Autostart::isEnabled());
    box->setChecked(true);
    EXPECT_TRUE(QFile::exists(Autostart::entryPath()));
    EXPECT_FALSE(QFile::exists(legacy));
}
