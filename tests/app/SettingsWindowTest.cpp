// The settings window offscreen: provider changes and the status line, saving keys and models,
// the model list, the recommended-model pull, the sliders, skin, persona, consent and the key
// reveal, each through the window's own controls.

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "llm/UserProfile.h"
#include "support/Appearance.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/ShellEnvironment.h"
#include "testkit/TempXdg.h"
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
        T* widget = controller.window()->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
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

    /// Types into a line edit and presses Return.
    static void enter(QLineEdit* field, const QString& text) {
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    void writeTool(const QByteArray& body) const {
        QFile file(tool);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

}  // namespace

TEST(SettingsWindow, IsTheFixedSizeWindowWithItsTitle) {
    Settings settings;
    QWidget* window = settings.controller.window();
    EXPECT_EQ(window->windowTitle(), u"Zorbel 设置");
    EXPECT_EQ(settings.find<QWidget>("generalPage")->size(), QSize(460, 506));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    // Frames are laid out from the bottom-left corner: "完成" at (360, 14, 80, 26).
    EXPECT_EQ(settings.find<QPushButton>("doneButton")->geometry(), QRect(360, 466, 80, 26));
    EXPECT_EQ(settings.find<QLabel>("routeLabel")->text(), u"当前处理路线：内置规则（离线）");
    EXPECT_EQ(settings.status(), u"未检测到本地模型服务，现用内置规则（离线）；可点重新扫描");
    EXPECT_TRUE(settings.find<QPushButton>("fetchButton")->isHidden());
    EXPECT_TRUE(settings.find<QPushButton>("clearConsentButton")->isHidden());
}

TEST(SettingsWindow, TheBuiltInRulesNeedNoModelAndNoKey) {
    Settings settings;
    settings.choose(QStringLiteral("builtin"));
    EXPECT_TRUE(settings.find<QComboBox>("modelCombo")->isHidden());
    EXPECT_TRUE(settings.find<QPushButton>("fetchButton")->isHidden());
    EXPECT_TRUE(settings.find<QPushButton>("clearConsentButton")->isHidden());
    EXPECT_FALSE(settings.find<QLineEdit>("baseURLField")->isEnabled());
    EXPECT_EQ(settings.status(), u"内置规则在本机读取日期和时间，无需模型，也不联网");
    EXPECT_EQ(settings.find<QLabel>("routeLabel")->text(), u"当前处理路线：内置规则（离线）");
    settings.choose(QStringLiteral("ollama"));
    EXPECT_FALSE(settings.find<QComboBox>("modelCombo")->isHidden());
    EXPECT_EQ(settings.status(),
              u"未检测到本地模型服务，可点重新扫描，或选「内置规则（离线）」、云端预设");
}

TEST(SettingsWindow, ACloudPresetAsksForAKeyThenShowsItsBaseURL) {
    Settings settings;
    settings.choose(QStringLiteral("deepseek"));
    EXPECT_EQ(settings.client.currentPreset().id, u"deepseek");
    EXPECT_EQ(settings.status(), u"请填写 API Key 后可点\"从服务端拉取\"获取模型列表");
    EXPECT_FALSE(settings.find<QPushButton>("fetchButton")->isHidden());
    EXPECT_FALSE(settings.find<QPushButton>("clearConsentButton")->isHidden());
    EXPECT_FALSE(settings.find<QLineEdit>("baseURLField")->isEnabled());
    EXPECT_EQ(settings.find<QLabel>("routeLabel")->text(), u"当前处理路线：云端处理：DeepSeek");

    Settings::enter(settings.find<QLineEdit>("apiKeyField"), QStringLiteral("  sk-test\t"));
    EXPECT_EQ(settings.credentials->secrets.value(QStringLiteral("deepseek")), u"sk-test");
    EXPECT_EQ(settings.status(), u"Base URL：https://api.deepseek.com/v1");

    // The same key saved again is not written again.
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

    Settings::enter(baseURL, QStringLiteral(" http://127.0.0.1:8080/v1 "));
    EXPECT_EQ(settings.client.customBaseURL(), u"http://127.0.0.1:8080/v1");
    Settings::enter(settings.find<QComboBox>("modelCombo")->lineEdit(),
                    QStringLiteral("my-model "));
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
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")}));
    EXPECT_EQ(settings.find<QComboBox>("modelCombo")->count(), 4);
}

TEST(SettingsWindow, PullingIgnoresASecondPressAndRescansAfterSuccess) {
    Settings settings;
    const QString started = settings.dir.filePath(QStringLiteral("started"));
    const QString go = settings.dir.filePath(QStringLiteral("go"));
    settings.writeTool("echo run >> '" + started.toUtf8() + "'\nprintf 'pulling 42%%\\r'\n" +
                       "while [ ! -f '" + go.toUtf8() + "' ]; do sleep 0.02; done\nexit 0\n");
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
}

TEST(SettingsWindow, AFailedPullShowsTheManualCommand) {
    Settings settings;
    settings.writeTool("echo 'Error: pull failed'\nexit 1\n");
    settings.controller.pullModelClicked();
    EXPECT_TRUE(test::spinUntil([&] {
        return settings.status() == u"拉取失败，可在终端手动执行：ollama pull qwen2.5vl:3b";
    }));
}

TEST(SettingsWindow, SlidersSkinAndPersonaWriteTheirSettings) {
    Settings settings;
    auto* ball = settings.find<QSlider>("opacitySlider");
    EXPECT_EQ(ball->value(), 92);
    EXPECT_EQ(settings.find<QLabel>("opacityValueLabel")->text(), u"92%");
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

TEST(SettingsWindow, RevealingTheKeySwapsTheFieldsAndDoneHidesItAgain) {
    Settings settings;
    settings.choose(QStringLiteral("kimi"));
    auto* secure = settings.find<QLineEdit>("apiKeyField");
    auto* plain = settings.find<QLineEdit>("apiKeyPlainField");
    auto* reveal = settings.find<QToolButton>("revealKeyButton");
    secure->setText(QStringLiteral("sk-typed"));
    reveal->click();
    EXPECT_TRUE(plain->isVisible());
    EXPECT_FALSE(secure->isVisible());
    EXPECT_EQ(plain->text(), u"sk-typed");
    EXPECT_EQ(plain->geometry(), secure->geometry());
    EXPECT_EQ(reveal->accessibleName(), u"隐藏 API Key");

    plain->setText(QStringLiteral("sk-shown"));
    settings.find<QPushButton>("doneButton")->click();
    EXPECT_EQ(settings.credentials->secrets.value(QStringLiteral("kimi")), u"sk-shown");
    EXPECT_EQ(secure->text(), u"sk-shown");
    EXPECT_EQ(reveal->accessibleName(), u"显示 API Key");
    settings.controller.showSettings();
    EXPECT_TRUE(secure->isVisible());
    EXPECT_FALSE(plain->isVisible());
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
    settings.client.setOnScanFinished([&scans] { ++scans; });
    settings.find<QPushButton>("rescanButton")->click();
    EXPECT_EQ(settings.status(), u"扫描中…");
    EXPECT_TRUE(test::spinUntil([&] { return scans == 1; }));
}
