// The settings window offscreen: provider changes and the status line, saving keys and models,
// the model list, the recommended-model pull, the sliders, skin, persona, consent and the key
// reveal, each through the window's own controls.

#include <gtest/gtest.h>
#include <QFile>

#include "app/Widgets.h"
#include "llm/LocalDiscovery.h"
#include "llm/UserProfile.h"
#include "support/Appearance.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/ShellEnvironment.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/settings/OnboardingPanel.h"
#include "ui/settings/SettingsWindowController.h"

using namespace zorbel;

namespace {

struct Settings : test::ShellEnvironment {
    QString tool = dir.filePath(QStringLiteral("ollama"));
    SettingsWindowController controller{client, credentials, {tool}};

    Settings() { controller.showSettings(); }

    template <typename T>
    T* find(const char* name) const {
        return test::child<T>(controller.window(), name);
    }
    QString status() const { return find<QLabel>("statusLabel")->text(); }

    void choose(const QString& presetID) {
        auto* popup = find<QComboBox>("providerPopup");
        const QList<LLMPreset>& presets = LLMClient::presets();
        for (qsizetype index = 0; index < presets.size(); ++index) {
            if (presets[index].id == presetID) popup->setCurrentIndex(int(index));
        }
        Q_EMIT popup->activated(popup->currentIndex());
    }
};

}  // namespace

TEST(SettingsWindow, EveryProviderLeavesBothPagesTidy) {
    Settings settings;
    settings.controller.window()->findChild<QTabBar*>()->setCurrentIndex(1);  // lays out both
    for (const LLMPreset& preset : LLMClient::presets()) {
        settings.choose(preset.id);
        SCOPED_TRACE(preset.id.toStdString());
        test::expectTidy(*settings.find<QWidget>("generalPage"));
        test::expectTidy(*settings.find<QWidget>("systemPage"));
    }
}

TEST(SettingsWindow, TheStatusLineAndTheControlsFollowTheProvider) {
    const struct {
        const char* preset;
        const char* status;
        const char* route;
        bool model;
        bool cloud;  // the model list can be fetched and the consent cleared
    } rows[] = {
        {"auto", "未检测到本地模型服务，现用内置规则（离线）；可点重新扫描", "内置规则（离线）",
         true, false},
        {"builtin", "内置规则在本机读取日期和时间，无需模型，也不联网", "内置规则（离线）", false,
         false},
        {"ollama", "未检测到本地模型服务，可点重新扫描，或选「内置规则（离线）」、云端预设",
         "本地模型：qwen2.5vl:3b", true, false},
        {"deepseek", "请填写 API Key 后可点\"从服务端拉取\"获取模型列表", "云端处理：DeepSeek",
         true, true},
    };
    Settings settings;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.preset);
        settings.choose(QLatin1String(row.preset));
        EXPECT_EQ(settings.client.currentPreset().id, QLatin1String(row.preset));
        EXPECT_EQ(settings.status(), QString::fromUtf8(row.status));
        EXPECT_EQ(settings.find<QLabel>("routeLabel")->text(),
                  QStringLiteral("当前处理路线：") + QString::fromUtf8(row.route));
        EXPECT_EQ(settings.find<QComboBox>("modelCombo")->isVisible(), row.model);
        EXPECT_EQ(settings.find<QPushButton>("fetchButton")->isVisible(), row.cloud);
        EXPECT_EQ(settings.find<QPushButton>("clearConsentButton")->isVisible(), row.cloud);
    }
}

TEST(SettingsWindow, ACloudKeyIsSavedTrimmedOnceThenTheStatusShowsTheBaseURL) {
    Settings settings;
    settings.choose(QStringLiteral("deepseek"));
    EXPECT_FALSE(settings.find<QLineEdit>("baseURLField")->isEnabled());
    test::enter(settings.find<QLineEdit>("apiKeyField"), QStringLiteral("  sk-test\t"));
    EXPECT_EQ(settings.credentials->secrets.value(QStringLiteral("deepseek")), u"sk-test");
    EXPECT_EQ(settings.status(), u"Base URL：https://api.deepseek.com/v1");

    const int writes = settings.credentials->writes;
    settings.controller.textChanged();
    settings.controller.doneClicked();
    EXPECT_EQ(settings.credentials->writes, writes);
    EXPECT_FALSE(settings.controller.window()->isVisible());
}

TEST(SettingsWindow, TheCustomPresetStartsWithTheLocalDefaultBaseURLAndSavesTheFields) {
    Settings settings;
    settings.choose(QStringLiteral("custom"));
    auto* baseURL = settings.find<QLineEdit>("baseURLField");
    EXPECT_TRUE(baseURL->isEnabled());
    EXPECT_EQ(baseURL->text(), u"http://127.0.0.1:1234/v1");
    EXPECT_EQ(settings.client.customBaseURL(), u"http://127.0.0.1:1234/v1");

    test::enter(baseURL, QStringLiteral(" http://127.0.0.1:8080/v1 "));
    EXPECT_EQ(settings.client.customBaseURL(), u"http://127.0.0.1:8080/v1");
    test::enter(settings.find<QComboBox>("modelCombo")->lineEdit(), QStringLiteral("my-model "));
    EXPECT_EQ(settings.client.model(settings.client.currentPreset()), u"my-model");
    // The fields were saved for the previous preset before the change.
    settings.choose(QStringLiteral("kimi"));
    settings.choose(QStringLiteral("custom"));
    EXPECT_EQ(settings.find<QComboBox>("modelCombo")->currentText(), u"my-model");
}

TEST(SettingsWindow, ADownloadedModelListAddsOnlyNewNames) {
    Settings settings;
    settings.choose(QStringLiteral("openai"));
    const LLMPreset preset = settings.client.currentPreset();
    settings.client.saveModelList({QStringLiteral("a"), QStringLiteral("b")}, preset);
    settings.controller.applyFetchedModels(
        preset, {QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    EXPECT_EQ(settings.status(), u"已拉取 3 个模型（累计 4 个）");
    EXPECT_EQ(settings.client.savedModelList(preset),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")}));
    EXPECT_EQ(settings.find<QComboBox>("modelCombo")->count(), 4);
}

TEST(SettingsWindow, PullingIgnoresASecondPressAndRescansAfterSuccess) {
    Settings settings;
    const QString started = settings.dir.filePath(QStringLiteral("started"));
    const QString go = settings.dir.filePath(QStringLiteral("go"));
    test::writeTool(settings.tool, "#!/bin/sh\necho run >> '" + started.toUtf8() +
                                       "'\nprintf 'pulling 42%%\\r'\n" + "while [ ! -f '" +
                                       go.toUtf8() + "' ]; do sleep 0.02; done\nexit 0\n");
    auto* button = settings.find<QPushButton>("pullModelButton");
    settings.controller.pullModelClicked();
    EXPECT_EQ(settings.status(), u"正在拉取 qwen2.5vl:3b（约 3GB）…");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(test::spinUntil([&] { return settings.status() == u"拉取中：pulling 42%"; }));
    settings.controller.pullModelClicked();
    EXPECT_EQ(settings.status(), u"拉取中：pulling 42%");

    // Hidden, the window is not refreshed by the scan that follows, which keeps the line.
    settings.controller.window()->close();
    QFile(go).open(QIODevice::WriteOnly);
    EXPECT_TRUE(
        test::spinUntil([&] { return settings.status() == u"拉取完成，正在重新扫描模型…"; }));
    EXPECT_TRUE(button->isEnabled());
    QFile runs(started);
    ASSERT_TRUE(runs.open(QIODevice::ReadOnly));
    EXPECT_EQ(runs.readAll(), "run\n");

    // A failed pull names the command to run by hand.
    test::writeTool(settings.tool, "#!/bin/sh\nexit 1\n");
    settings.controller.pullModelClicked();
    EXPECT_TRUE(test::spinUntil([&] {
        return settings.status() == u"拉取失败，可在终端手动执行：ollama pull qwen2.5vl:3b";
    }));
}

TEST(SettingsWindow, SlidersSkinAndPersonaWriteTheirSettings) {
    Settings settings;
    auto* ball = settings.find<QSlider>("opacitySlider");
    EXPECT_EQ(ball->value(), 92);
    ball->setValue(87);
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.87);
    EXPECT_EQ(settings.find<QLabel>("opacityValueLabel")->text(), u"87%");

    auto* panel = settings.find<QSlider>("panelOpacitySlider");
    panel->setValue(50);
    EXPECT_EQ(panel->value(), 70);
    EXPECT_DOUBLE_EQ(Appearance::panelOpacity(), 0.7);
    EXPECT_EQ(settings.find<QLabel>("panelOpacityValueLabel")->text(), u"70%");

    auto* skins = settings.find<QComboBox>("skinPopup");
    skins->setCurrentIndex(2);
    Q_EMIT skins->activated(2);
    EXPECT_EQ(BallSkinPreference::current().id(), BallSkinCatalog::all()[2].id());

    settings.find<QPlainTextEdit>("personaTextView")->insertPlainText(QStringLiteral("律师"));
    EXPECT_EQ(UserProfile::persona(*Preferences::standard()), u"律师");

    // A new show reads everything back.
    settings.controller.window()->close();
    settings.controller.showSettings();
    EXPECT_EQ(ball->value(), 87);
    EXPECT_EQ(skins->currentIndex(), 2);
    EXPECT_EQ(settings.find<QPlainTextEdit>("personaTextView")->toPlainText(), u"律师");
}

TEST(SettingsWindow, ClearingConsentTouchesOnlyTheCurrentProvider) {
    Settings settings;
    const std::shared_ptr<Preferences> defaults = Preferences::standard();
    defaults->setValue(QStringLiteral("cloudConsent.deepseek.file.v1"), true);
    defaults->setValue(QStringLiteral("cloudConsent.kimi.file.v1"), true);
    settings.choose(QStringLiteral("deepseek"));
    settings.find<QPushButton>("clearConsentButton")->click();
    EXPECT_FALSE(defaults->contains(QStringLiteral("cloudConsent.deepseek.file.v1")));
    EXPECT_TRUE(defaults->contains(QStringLiteral("cloudConsent.kimi.file.v1")));
    EXPECT_EQ(settings.status(), u"已清除「DeepSeek」的云端传输同意");
}

TEST(SettingsWindow, RevealingTheKeyShowsItAndDoneHidesItAgain) {
    Settings settings;
    settings.choose(QStringLiteral("kimi"));
    auto* key = settings.find<QLineEdit>("apiKeyField");
    auto* reveal = settings.find<QToolButton>("revealKeyButton");
    key->setText(QStringLiteral("sk-typed"));
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    reveal->click();
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(key->text(), u"sk-typed");
    EXPECT_EQ(reveal->accessibleName(), u"隐藏 API Key");

    key->setText(QStringLiteral("sk-shown"));
    settings.find<QPushButton>("doneButton")->click();
    EXPECT_EQ(settings.credentials->secrets.value(QStringLiteral("kimi")), u"sk-shown");
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(reveal->accessibleName(), u"显示 API Key");
}

TEST(SettingsWindow, ReturnOutsideATextFieldIsDone) {
    Settings settings;
    QWidget* window = settings.controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* model = settings.find<QComboBox>("modelCombo");
    model->setFocus();
    model->setEditText(QStringLiteral("typed"));
    QTest::keyClick(model->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(settings.client.model(settings.client.currentPreset()), u"typed");

    settings.find<QSlider>("opacitySlider")->setFocus();
    QTest::keyClick(settings.find<QSlider>("opacitySlider"), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
}

TEST(SettingsWindow, ShowsTheOnboardingPanelAndRescans) {
    Settings settings;
    settings.find<QPushButton>("showOnboardingButton")->click();
    ASSERT_NE(OnboardingPanel::current(), nullptr);
    OnboardingPanel::current()->close();

    int scans = 0;
    QObject::connect(&settings.client.discovery(), &LocalDiscovery::scanFinished,
                     [&scans] { ++scans; });
    settings.find<QPushButton>("rescanButton")->click();
    EXPECT_EQ(settings.status(), u"扫描中…");
    EXPECT_TRUE(test::spinUntil([&] { return scans == 1; }));
}
