// The first-use panel: when it is due, what acknowledges it, one panel at a time, where it goes
// beside its anchor, and the route line.

#include <gtest/gtest.h>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/Preferences.h"
#include "testkit/ShellEnvironment.h"
#include "testkit/TempXdg.h"
#include "ui/settings/OnboardingPanel.h"

using namespace zorbel;

namespace {

struct Fixture : test::ShellEnvironment {
    OnboardingPanel* show(std::function<void()> onClose = {}) {
        return OnboardingPanel::show(QRect(400, 100, 64, 64), std::move(onClose), client);
    }
};

QPushButton* button(QWidget* panel, const QString& title) {
    for (auto* candidate : panel->findChildren<QPushButton*>()) {
        if (candidate->text() == title) return candidate;
    }
    return nullptr;
}

void storeVersion(int version) {
    Preferences::standard()->setValue(QLatin1String(OnboardingPanel::versionKey), version);
}

}  // namespace

TEST(OnboardingPanel, DueUntilTheCurrentVersionIsAcknowledged) {
    test::TempXdg xdg;
    EXPECT_TRUE(OnboardingPanel::needsShow());
    storeVersion(1);
    EXPECT_TRUE(OnboardingPanel::needsShow());
    storeVersion(2);
    EXPECT_FALSE(OnboardingPanel::needsShow());
    storeVersion(3);
    EXPECT_FALSE(OnboardingPanel::needsShow());
}

TEST(OnboardingPanel, EitherButtonAcknowledgesAndRunsTheCallbackOnce) {
    for (const QString& title : {QStringLiteral("稍后"), QStringLiteral("开始使用")}) {
        Fixture fixture;
        int closed = 0;
        OnboardingPanel* panel = fixture.show([&closed] { ++closed; });
        EXPECT_EQ(OnboardingPanel::current(), panel);
        EXPECT_EQ(panel->size(), QSize(340, 236));
        ASSERT_NE(button(panel, title), nullptr) << title.toStdString();
        button(panel, title)->click();
        EXPECT_FALSE(OnboardingPanel::needsShow()) << title.toStdString();
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(OnboardingPanel::current(), nullptr);
    }
}

TEST(OnboardingPanel, EscapeAndReturnAcknowledgeLikeTheButtons) {
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
        Fixture fixture;
        OnboardingPanel* panel = fixture.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
        QTest::keyClick(panel, key);
        EXPECT_EQ(OnboardingPanel::current(), nullptr) << key;
        EXPECT_FALSE(OnboardingPanel::needsShow()) << key;
    }
}

TEST(OnboardingPanel, ClosingOtherwiseDoesNotAcknowledge) {
    Fixture fixture;
    int closed = 0;
    fixture.show([&closed] { ++closed; })->close();
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(OnboardingPanel::needsShow());
    EXPECT_EQ(OnboardingPanel::current(), nullptr);
}

TEST(OnboardingPanel, ANewPanelReplacesTheOpenOne) {
    Fixture fixture;
    int firstClosed = 0, secondClosed = 0;
    OnboardingPanel* first = fixture.show([&firstClosed] { ++firstClosed; });
    OnboardingPanel* second = fixture.show([&secondClosed] { ++secondClosed; });
    EXPECT_NE(first, second);
    EXPECT_EQ(firstClosed, 1);
    EXPECT_EQ(secondClosed, 0);
    EXPECT_EQ(OnboardingPanel::current(), second);
    EXPECT_TRUE(OnboardingPanel::needsShow());
    second->closeClicked();
    EXPECT_EQ(secondClosed, 1);
}

TEST(OnboardingPanel, SitsBelowTheAnchorAboveNearTheBottomAndInsideTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    // Centred 10 points below.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(600, 100, 80, 80), screen), QPoint(470, 190));
    // No room below: 10 points above.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(600, 650, 80, 80), screen), QPoint(470, 404));
    // Near either side: 8 points inside.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(0, 100, 80, 80), screen).x(), 8);
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(1230, 100, 50, 50), screen).x(), 1280 - 348);
    // A second screen to the right keeps its own margins.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(1290, 0, 40, 40), QRect(1280, 0, 1024, 768)),
              QPoint(1288, 50));
    // Without a screen nothing is clamped.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(-100, 0, 80, 80), std::nullopt), QPoint(-230, 90));
}

TEST(OnboardingPanel, RouteLineNamesWhatWillReadTheNextCapture) {
    Fixture fixture;
    // Automatic with no local server found: the built-in rules.
    EXPECT_EQ(OnboardingPanel::routeText(fixture.client), u"当前处理路线：内置规则（离线）");
    fixture.client.setCurrentPreset(LLMClient::preset(QStringLiteral("ollama")));
    EXPECT_EQ(OnboardingPanel::routeText(fixture.client), u"当前处理路线：本地模型：qwen2.5vl:3b");
    fixture.client.setCurrentPreset(LLMClient::preset(QStringLiteral("builtin")));
    EXPECT_EQ(OnboardingPanel::routeText(fixture.client), u"当前处理路线：内置规则（离线）");
    fixture.client.setCurrentPreset(LLMClient::preset(QStringLiteral("deepseek")));
    EXPECT_EQ(OnboardingPanel::routeText(fixture.client), u"当前处理路线：云端处理：DeepSeek");
    OnboardingPanel* panel = fixture.show();
    EXPECT_EQ(panel->findChild<QLabel*>(QStringLiteral("route"))->text(),
              u"当前处理路线：云端处理：DeepSeek");
    panel->close();
}
