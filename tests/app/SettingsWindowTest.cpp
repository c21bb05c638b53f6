// The settings window's model part, and the window driven offscreen through its own controls.

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
#include "ui/settings/ModelSettingsView.h"
#include "ui/settings/OnboardingPanel.h"
#include "ui/settings/SettingsWindowController.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

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

TEST(ModelSettingsView, OffersThePresetsModelsAndControlsAndSaysWhatToDoNext) {
    const QStringList ollama{u"o1"_s, u"o2"_s}, lmstudio{u"l1"_s}, saved{u"s1"_s}, none;
    const auto state = [&](const char* id, QStringList found, QStringList lm, bool reachable,
                           bool keyEmpty) {
        return ModelSettingsState{
            LLMClient::preset(QLatin1String(id)), found, lm, saved, reachable, keyEmpty};
    };
    // The choices, whether the model, the fetch and the pull controls show, and what the status
    // line says, in part.
    const std::pair<ModelSettingsState, ModelSettingsView> rows[] = {
        {state("builtin", ollama, none, true, true), {saved, false, false, false, u"无需模型"_s}},
        {state("deepseek", ollama, none, true, true), {saved, true, true, false, u"API Key"_s}},
        {state("deepseek", none, none, false, false), {saved, true, true, false, u"deepseek"_s}},
        {state("custom", none, none, false, false), {saved, true, false, false, u"可自定义"_s}},
        {state("auto", none, none, false, true), {none, true, false, false, u"现用内置规则"_s}},
        {state("ollama", none, none, false, true), {none, true, false, false, u"云端预设"_s}},
        {state("ollama", none, lmstudio, true, true), {none, true, false, true, u"LM Studio：1"_s}},
        {state("auto", none, none, true, true), {none, true, false, true, u"下载 qwen2.5vl:3b"_s}},
        {state("auto", none, lmstudio, true, true), {lmstudio, true, false, false, u"LM Studio"_s}},
        {state("auto", ollama, lmstudio, true, true), {ollama, true, false, false, u"Ollama：2"_s}},
        {state("lmstudio", ollama, lmstudio, true, true), {lmstudio, true, false, false, {}}},
    };
    for (const auto& [input, expected] : rows) {
        const ModelSettingsView view = modelSettingsView(input);
        SCOPED_TRACE((input.preset.id + u' ' + view.status).toStdString());
        EXPECT_EQ(view.modelChoices, expected.modelChoices);
        EXPECT_EQ(std::tuple(view.showsModel, view.showsFetch, view.showsPull),
                  std::tuple(expected.showsModel, expected.showsFetch, expected.showsPull));
        EXPECT_TRUE(view.status.contains(expected.status));
    }
}

TEST(SettingsWindow, EveryProviderLeavesBothPagesTidyAndShowsWhatItsModelPartDecides) {
    Settings settings;
    settings.controller.window()->findChild<QTabBar*>()->setCurrentIndex(1);  // lays out both
    const QWidget* general = settings.find<QWidget>("generalPage");
    for (const LLMPreset& preset : LLMClient::presets()) {
        settings.choose(preset.id);
        SCOPED_TRACE(preset.id.toStdString());
        test::expectTidy(*general);
        test::expectTidy(*settings.find<QWidget>("systemPage"));
        // No key entered, no local server found.
        const ModelSettingsView view = modelSettingsView(
            {preset, {}, {}, settings.client.savedModelList(preset), false, true});
        EXPECT_EQ(settings.status(), view.status);
        const auto shown = [&](const char* name) {
            return settings.find<QWidget>(name)->isVisibleTo(general);
        };
        EXPECT_EQ(std::tuple(shown("modelCombo"), shown("fetchButton"), shown("pullModelButton")),
                  std::tuple(view.showsModel, view.showsFetch, view.showsPull));
        EXPECT_EQ(shown("clearConsentButton"), preset.needsKey);
        const QLabel* route = settings.find<QLabel>("routeLabel");
        const QString full = OnboardingPanel::routeText(settings.client);
        EXPECT_TRUE(route->text() == full || route->toolTip() == full) << full.toStdString();
    }
}

TEST(SettingsWindow, ACloudKeyIsSavedTrimmedOnceAndShownOnlyWhileRevealed) {
    Settings settings;
    settings.choose(QStringLiteral("deepseek"));
    EXPECT_FALSE(settings.find<QLineEdit>("baseURLField")->isEnabled());
    auto* key = settings.find<QLineEdit>("apiKeyField");
    test::enter(key, QStringLiteral("  sk-test\t"));
    EXPECT_EQ(settings.credentials->secrets.value(QStringLiteral("deepseek")), u"sk-test");
    EXPECT_EQ(settings.status(), u"Base URL：https://api.deepseek.com/v1");
    const int writes = settings.credentials->writes;
    settings.controller.textChanged();
    EXPECT_EQ(settings.credentials->writes, writes);

    settings.choose(QStringLiteral("kimi"));
    auto* reveal = settings.find<QToolButton>("revealKeyButton");
    key->setText(QStringLiteral("sk-typed"));
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    reveal->click();
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(reveal->accessibleName(), u"隐藏 API Key");
    key->setText(QStringLiteral("sk-shown"));
    settings.find<QPushButton>("doneButton")->click();
    EXPECT_FALSE(settings.controller.window()->isVisible());
    EXPECT_EQ(settings.credentials->secrets.value(QStringLiteral("kimi")), u"sk-shown");
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(reveal->accessibleName(), u"显示 API Key");
}

TEST(SettingsWindow, TheCustomPresetSavesItsFieldsAndADownloadedListAddsOnlyNewNames) {
    Settings settings;
    settings.choose(QStringLiteral("custom"));
    auto* baseURL = settings.find<QLineEdit>("baseURLField");
    EXPECT_TRUE(baseURL->isEnabled());
    EXPECT_EQ(baseURL->text(), u"http://127.0.0.1:1234/v1");  // the local default to start with
    test::enter(baseURL, QStringLiteral(" http://127.0.0.1:8080/v1 "));
    EXPECT_EQ(settings.client.customBaseURL(), u"http://127.0.0.1:8080/v1");
    auto* model = settings.find<QComboBox>("modelCombo");
    test::enter(model->lineEdit(), QStringLiteral("my-model "));
    EXPECT_EQ(settings.client.model(settings.client.currentPreset()), u"my-model");
    // The fields were saved for the previous preset before the change.
    settings.choose(QStringLiteral("openai"));
    settings.choose(QStringLiteral("custom"));
    EXPECT_EQ(model->currentText(), u"my-model");

    settings.choose(QStringLiteral("openai"));
    const LLMPreset preset = settings.client.currentPreset();
    settings.client.saveModelList({QStringLiteral("a"), QStringLiteral("b")}, preset);
    settings.controller.applyFetchedModels(preset, {QStringLiteral("b"), QStringLiteral("c")});
    EXPECT_EQ(settings.status(), u"已拉取 2 个模型（累计 3 个）");
    EXPECT_EQ(settings.client.savedModelList(preset),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(model->count(), 3);
}

TEST(SettingsWindow, PullingIgnoresASecondPressRescansAfterSuccessAndNamesTheCommandOnFailure) {
    Settings settings;
    const QString go = settings.dir.filePath(QStringLiteral("go"));
    test::writeTool(settings.tool, "#!/bin/sh\nprintf 'pulling 42%%\\r'\nwhile [ ! -f '" +
                                       go.toUtf8() + "' ]; do sleep 0.02; done\n");
    auto* button = settings.find<QPushButton>("pullModelButton");
    settings.controller.pullModelClicked();
    EXPECT_EQ(settings.status(), u"正在拉取 qwen2.5vl:3b（约 3GB）…");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(test::spinUntil([&] { return settings.status() == u"拉取中：pulling 42%"; }));
    settings.controller.pullModelClicked();  // ignored: no second pull starts
    EXPECT_EQ(settings.status(), u"拉取中：pulling 42%");

    // Hidden, the window is not refreshed by the scan that follows, which keeps the line.
    settings.controller.window()->close();
    QFile(go).open(QIODevice::WriteOnly);
    EXPECT_TRUE(
        test::spinUntil([&] { return settings.status() == u"拉取完成，正在重新扫描模型…"; }));
    EXPECT_TRUE(button->isEnabled());

    test::writeTool(settings.tool, "#!/bin/sh\nexit 1\n");
    settings.controller.pullModelClicked();
    EXPECT_TRUE(test::spinUntil([&] {
        return settings.status() == u"拉取失败，可在终端手动执行：ollama pull qwen2.5vl:3b";
    }));
}

TEST(SettingsWindow, SlidersSkinPersonaAndConsentWriteTheirSettingsAndAreReadBack) {
    Settings settings;
    auto* ball = settings.find<QSlider>("opacitySlider");
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
    auto* persona = settings.find<QPlainTextEdit>("personaTextView");
    persona->insertPlainText(QStringLiteral("律师"));
    EXPECT_EQ(UserProfile::persona(*Preferences::standard()), u"律师");

    const QString consent = QStringLiteral("cloudConsent.deepseek.file.v1");
    Preferences::standard()->setValue(consent, true);
    settings.choose(QStringLiteral("deepseek"));
    settings.find<QPushButton>("clearConsentButton")->click();
    EXPECT_FALSE(Preferences::standard()->contains(consent));

    // A new show reads everything back.
    settings.controller.window()->close();
    settings.controller.showSettings();
    EXPECT_EQ(ball->value(), 87);
    EXPECT_EQ(skins->currentIndex(), 2);
    EXPECT_EQ(persona->toPlainText(), u"律师");
}

TEST(SettingsWindow, ReturnOutsideATextFieldIsDoneAndTheButtonsRescanAndShowTheFirstUsePanel) {
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

    settings.find<QPushButton>("showOnboardingButton")->click();
    ASSERT_NE(OnboardingPanel::current(), nullptr);
    OnboardingPanel::current()->close();
    int scans = 0;
    QObject::connect(&settings.client.discovery(), &LocalDiscovery::scanFinished,
                     [&scans] { ++scans; });
    settings.find<QPushButton>("rescanButton")->click();
    EXPECT_TRUE(test::spinUntil([&] { return scans == 1; }));
}
