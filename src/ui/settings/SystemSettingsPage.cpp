#include "ui/settings/SystemSettingsPage.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QUrl>
#include <algorithm>

#include "calendar/CalendarWriter.h"
#include "calendar/VdirCalendarStore.h"
#include "input/TranscriptionEndpointRecognizer.h"
#include "support/Autostart.h"
#include "support/Errors.h"
#include "support/Preferences.h"
#include "support/Text.h"
#include "support/UiLanguage.h"
#include "ui/settings/SettingsLayout.h"
#include "ui/settings/SettingsText.h"
#include "ui/shared/ErrorText.h"

namespace zorbel {

using namespace SettingsLayout;

namespace {

const QString kStoreKey = QStringLiteral("calendar.store");
const QString kUrlKey = QStringLiteral("calendar.caldav.url");
const QString kUserKey = QStringLiteral("calendar.caldav.user");
const QString kCalDavAccount = QStringLiteral("caldav");
const QString kCalDav = QStringLiteral("caldav");
const QString kLocal = QStringLiteral("local");

QLineEdit* field(QWidget* parent, const QRect& geometry, const QString& placeholder,
                 bool secret = false) {
    auto* result = place(new QLineEdit(parent), geometry);
    result->setPlaceholderText(placeholder);
    if (secret) result->setEchoMode(QLineEdit::Password);
    return result;
}

QString trimmedText(const QLineEdit* edit) {
    const QString text = edit->text();
    return trimSpacesAndTabs(text).toString();
}

}  // namespace

SystemSettingsPage::SystemSettingsPage(std::shared_ptr<CredentialStoring> credentials,
                                       QWidget* parent)
    : QWidget(parent), m_credentials(std::move(credentials)) {
    rowLabel(this, SettingsText::tr("日历存储："), QRect(20, 20, 90, 22));
    m_storePopup = place(new QComboBox(this), QRect(118, 19, 320, 24));
    m_storePopup->addItem(SettingsText::tr("本机日历文件夹"), kLocal);
    m_storePopup->addItem(SettingsText::tr("CalDAV 服务器"), kCalDav);
    rowLabel(this, SettingsText::tr("本机文件夹："), QRect(20, 54, 90, 22));
    QLabel* root = secondaryLabel(this, QRect(118, 54, 320, 22), 11);
    root->setText(VdirCalendarStore::defaultRoot());
    root->setTextInteractionFlags(Qt::TextSelectableByMouse);

    rowLabel(this, SettingsText::tr("服务器 URL："), QRect(20, 88, 90, 22));
    m_urlField = field(this, QRect(118, 87, 320, 24), QStringLiteral("https://example.com/dav/"));
    rowLabel(this, SettingsText::tr("用户名："), QRect(20, 122, 90, 22));
    m_userField = field(this, QRect(118, 121, 320, 24), QString());
    rowLabel(this, SettingsText::tr("密码："), QRect(20, 156, 90, 22));
    m_passwordField = field(this, QRect(118, 155, 210, 24), QString(), true);
    m_testButton =
        place(new QPushButton(SettingsText::tr("测试连接"), this), QRect(336, 155, 100, 24), 11);
    m_calendarStatus = secondaryLabel(this, QRect(20, 186, 420, 32), 11);
    m_calendarStatus->setWordWrap(true);

    rowLabel(this, SettingsText::tr("转写服务："), QRect(20, 240, 90, 22));
    m_speechURLField =
        field(this, QRect(118, 239, 320, 24), QStringLiteral("http://127.0.0.1:8080/v1"));
    rowLabel(this, SettingsText::tr("转写模型："), QRect(20, 274, 90, 22));
    m_speechModelField = field(this, QRect(118, 273, 320, 24), QStringLiteral("whisper-1"));
    rowLabel(this, SettingsText::tr("转写 Key："), QRect(20, 308, 90, 22));
    m_speechKeyField =
        field(this, QRect(118, 307, 320, 24), SettingsText::tr("本地服务可留空"), true);
    QLabel* hint = secondaryLabel(this, QRect(118, 336, 320, 28), 10);
    hint->setWordWrap(true);
    hint->setText(SettingsText::tr(
        "录音发送到此 OpenAI 兼容服务的 /audio/transcriptions 接口转成文字；留空时英语用本机识别"));

    m_autostartBox =
        place(new QCheckBox(SettingsText::tr("登录时启动"), this), QRect(118, 386, 200, 22));

    // Each language under its own name.
    rowLabel(this, SettingsText::tr("界面语言："), QRect(20, 420, 90, 22));
    m_languagePopup = place(new QComboBox(this), QRect(118, 419, 150, 24));
    m_languagePopup->addItem(SettingsText::tr("跟随系统"), QStringLiteral("system"));
    m_languagePopup->addItem(QStringLiteral("中文"), QStringLiteral("zh"));
    m_languagePopup->addItem(QStringLiteral("English"), QStringLiteral("en"));
    secondaryLabel(this, QRect(276, 420, 162, 22), 11)->setText(SettingsText::tr("下次启动时生效"));

    connect(m_storePopup, &QComboBox::activated, this, &SystemSettingsPage::storeChanged);
    for (QLineEdit* edit : {m_urlField, m_userField, m_passwordField, m_speechURLField,
                            m_speechModelField, m_speechKeyField}) {
        connect(edit, &QLineEdit::editingFinished, this, &SystemSettingsPage::save);
    }
    connect(m_testButton, &QPushButton::clicked, this, &SystemSettingsPage::testConnectionClicked);
    connect(m_autostartBox, &QCheckBox::toggled, this, &SystemSettingsPage::autostartToggled);
    connect(m_languagePopup, &QComboBox::activated, this, [this] {
        Preferences::standard()->setValue(uiLanguageKey, m_languagePopup->currentData());
    });

    const std::pair<QObject*, const char*> names[] = {
        {m_storePopup, "calendarStorePopup"},   {m_urlField, "caldavURLField"},
        {m_userField, "caldavUserField"},       {m_passwordField, "caldavPasswordField"},
        {m_testButton, "testConnectionButton"}, {m_calendarStatus, "calendarStatusLabel"},
        {m_speechURLField, "speechURLField"},   {m_speechModelField, "speechModelField"},
        {m_speechKeyField, "speechKeyField"},   {m_autostartBox, "autostartBox"},
        {m_languagePopup, "uiLanguagePopup"}};
    for (const auto& [object, name] : names) object->setObjectName(QLatin1String(name));
}

void SystemSettingsPage::refresh() {
    const QScopedValueRollback<bool> refreshing(m_refreshing, true);
    const std::shared_ptr<Preferences> defaults = Preferences::standard();
    const bool caldav = defaults->string(kStoreKey) == kCalDav;
    m_storePopup->setCurrentIndex(caldav ? 1 : 0);
    for (QWidget* widget : {static_cast<QWidget*>(m_urlField), static_cast<QWidget*>(m_userField),
                            static_cast<QWidget*>(m_passwordField)}) {
        widget->setEnabled(caldav);
    }
    m_urlField->setText(defaults->string(kUrlKey).value_or(QString()));
    m_userField->setText(defaults->string(kUserKey).value_or(QString()));
    m_speechURLField->setText(
        defaults->string(QLatin1String(TranscriptionEndpointRecognizer::kBaseURLKey))
            .value_or(QString()));
    m_speechModelField->setText(
        defaults->string(QLatin1String(TranscriptionEndpointRecognizer::kModelKey))
            .value_or(QString()));
    for (const auto& [field, loaded, account] : secrets()) {
        this->*loaded = QString();
        field->clear();
        showSecret(this, m_credentials, field, loaded, account);
    }
    m_autostartBox->setChecked(Autostart::isEnabled());
    m_languagePopup->setCurrentIndex(std::max(
        0, m_languagePopup->findData(defaults->string(uiLanguageKey).value_or(QString()))));
}

void SystemSettingsPage::storeChanged() {
    save();
    Preferences::standard()->setValue(kStoreKey, m_storePopup->currentData().toString());
    refresh();
}

void SystemSettingsPage::save() {
    if (m_refreshing) return;
    const std::shared_ptr<Preferences> defaults = Preferences::standard();
    defaults->setValue(kUrlKey, trimmedText(m_urlField));
    defaults->setValue(kUserKey, trimmedText(m_userField));
    defaults->setValue(QLatin1String(TranscriptionEndpointRecognizer::kBaseURLKey),
                       trimmedText(m_speechURLField));
    defaults->setValue(QLatin1String(TranscriptionEndpointRecognizer::kModelKey),
                       trimmedText(m_speechModelField));
    for (const auto& [field, loaded, account] : secrets()) {
        // A password is kept exactly as typed; unchanged secrets are not written again.
        const QString value = field->text();
        if (value == this->*loaded) continue;
        this->*loaded = value;
        saveSecret(this, m_credentials, value, loaded, account);
    }
}

QList<SystemSettingsPage::Secret> SystemSettingsPage::secrets() const {
    return {{m_passwordField, &SystemSettingsPage::m_loadedPassword, kCalDavAccount},
            {m_speechKeyField, &SystemSettingsPage::m_loadedSpeechKey,
             QLatin1String(TranscriptionEndpointRecognizer::kCredentialAccount)}};
}

QCoro::Task<void> SystemSettingsPage::showSecret(QPointer<SystemSettingsPage> self,
                                                 std::shared_ptr<CredentialStoring> credentials,
                                                 QPointer<QLineEdit> field, LoadedSecret loaded,
                                                 QString account) {
    const QString shown = self->*loaded;
    QString value;
    try {
        value = (co_await credentials->credential(account)).value_or(QString());
    } catch (const Error&) {
        // An unreadable store shows an empty field; the status says so when a write fails.
    }
    // Typed or saved meanwhile: the user's text wins over the older read.
    if (!self || !field || field->text() != shown || self->*loaded != shown) co_return;
    const QScopedValueRollback<bool> refreshing(self->m_refreshing, true);
    field->setText(value);
    self->*loaded = value;
}

QCoro::Task<void> SystemSettingsPage::saveSecret(QPointer<SystemSettingsPage> self,
                                                 std::shared_ptr<CredentialStoring> credentials,
                                                 QString value, LoadedSecret loaded,
                                                 QString account) {
    try {
        if (value.isEmpty()) {
            co_await credentials->removeCredential(account);
        } else {
            co_await credentials->setCredential(value, account);
        }
    } catch (const Error&) {
        if (!self) co_return;
        // Not stored: the next save tries again.
        if (self->*loaded == value) self->*loaded = QString();
        self->m_calendarStatus->setText(SettingsText::tr("无法写入系统密钥环，密码与 Key 未保存"));
    }
}

void SystemSettingsPage::testConnectionClicked() {
    save();
    m_testButton->setEnabled(false);
    m_calendarStatus->setText(SettingsText::tr("正在连接…"));
    testConnection(this, m_credentials);
}

QCoro::Task<void> SystemSettingsPage::testConnection(
    QPointer<SystemSettingsPage> self, std::shared_ptr<CredentialStoring> credentials) {
    const std::shared_ptr<CalendarStoreProtocol> store =
        CalendarWriter::configuredStore(*Preferences::standard(), std::move(credentials));
    QString text;
    try {
        const QList<CalendarChoice> calendars = co_await store->writableCalendars();
        QStringList titles;
        for (const CalendarChoice& calendar : calendars) titles << calendar.title;
        text = calendars.isEmpty()
                   ? SettingsText::tr("已连接，但没有可写入的日历")
                   : SettingsText::tr("找到 %n 个日历：%1", nullptr, int(calendars.size()))
                         .arg(titles.join(SettingsText::tr("、")));
    } catch (const Error&) {
        const QString reason = errorText(std::current_exception(), QString());
        text = reason.isEmpty() ? SettingsText::tr("连接失败")
                                : SettingsText::tr("连接失败：%1").arg(reason);
    }
    if (!self) co_return;
    self->m_testButton->setEnabled(true);
    self->m_calendarStatus->setText(text);
}

void SystemSettingsPage::autostartToggled(bool enabled) {
    if (m_refreshing) return;
    if (!Autostart::setEnabled(enabled, QCoreApplication::applicationFilePath())) {
        m_calendarStatus->setText(
            SettingsText::tr("无法修改登录启动项：%1").arg(Autostart::entryPath()));
    }
}

}  // namespace zorbel
