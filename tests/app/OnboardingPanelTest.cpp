// The first-use panel: when it is due, what acknowledges it, where it goes, the route line.

#include <gtest/gtest.h>
#include <QPushButton>
#include <QTest>

#include "app/Widgets.h"
#include "support/Preferences.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/ShellEnvironment.h"
#include "ui/settings/OnboardingPanel.h"

using namespace zorbel;

namespace {

struct Fixture : test::ShellEnvironment {
    OnboardingPanel* show(std::function<void()> onClose = {}) {
        return OnboardingPanel::show(QRect(400, 100, 64, 64), std::move(onClose), client);
    }
};

}  // namespace

TEST(OnboardingPanel, EitherButtonEscapeAndReturnAcknowledgeTheCurrentVersionAndCloseOnce) {
    for (int way = 0; way < 4; ++way) {  // each of its two buttons, Escape, Return
        SCOPED_TRACE(way);
        Fixture fixture;
        EXPECT_TRUE(OnboardingPanel::needsShow());
        int closed = 0;
        OnboardingPanel* panel = fixture.show([&closed] { ++closed; });
        EXPECT_EQ(OnboardingPanel::current(), panel);
        test::expectTidy(*panel);
        const QList<QPushButton*> buttons = panel->findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), 2);
        if (way < 2) {
            buttons[way]->click();
        } else {
            ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
            QTest::keyClick(panel, way == 2 ? Qt::Key_Escape : Qt::Key_Return);
        }
        EXPECT_FALSE(OnboardingPanel::needsShow());
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(OnboardingPanel::current(), nullptr);
    }
    // An older acknowledgement is due again, a newer one is not.
    test::TempXdg xdg;
    for (const auto& [version, due] : {std::pair{1, true}, {3, false}}) {
        Preferences::standard()->setValue(QLatin1String(OnboardingPanel::versionKey), version);
        EXPECT_EQ(OnboardingPanel::needsShow(), due) << version;
    }

    // A new panel replaces the open one; neither closing acknowledges.
    Fixture fixture;
    int firstClosed = 0, secondClosed = 0;
    OnboardingPanel* first = fixture.show([&firstClosed] { ++firstClosed; });
    OnboardingPanel* second = fixture.show([&secondClosed] { ++secondClosed; });
    EXPECT_NE(first, second);
    EXPECT_EQ(std::pair(firstClosed, secondClosed), std::pair(1, 0));
    EXPECT_EQ(OnboardingPanel::current(), second);
    second->close();
    EXPECT_EQ(secondClosed, 1);
    EXPECT_EQ(OnboardingPanel::current(), nullptr);
    EXPECT_TRUE(OnboardingPanel::needsShow());
}

TEST(OnboardingPanel, SitsBelowTheAnchorAboveNearTheBottomAndInsideTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    // Centred 10 points below; with no room below 10 points above; 8 points inside either side.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(600, 100, 80, 80), screen), QPoint(470, 190));
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(600, 650, 80, 80), screen), QPoint(470, 404));
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(0, 100, 80, 80), screen).x(), 8);
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(1230, 100, 50, 50), screen).x(), 1280 - 348);
    // A second screen to the right keeps its own margins; without a screen nothing is clamped.
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(1290, 0, 40, 40), QRect(1280, 0, 1024, 768)),
              QPoint(1288, 50));
    EXPECT_EQ(OnboardingPanel::panelOrigin(QRect(-100, 0, 80, 80), std::nullopt), QPoint(-230, 90));
}

// On a first start the panel opens before the launch scan has answered: a scan that ends while
// it is open updates the route line.
TEST(OnboardingPanel, TheRouteLineNamesWhatReadsTheNextCaptureAndFollowsAScan) {
    test::TempXdg xdg;
    test::ChatCompletionsServer ollama;
    ollama.answerPath("/api/tags", R"({"models":[{"name":"llama3:8b"}]})");
    LLMClient client(Preferences::standard(), std::make_shared<test::MemoryCredentialStore>(),
                     {.ollamaBaseURL = ollama.url(),
                      .lmstudioBaseURL = QStringLiteral("http://127.0.0.1:9/v1"),
                      .ollamaExecutables = {}});
    // Automatic before any scan has found a server: the built-in rules.
    const std::pair<const char*, const char*> rows[] = {{"ollama", "本地模型：qwen2.5vl:3b"},
                                                        {"builtin", "内置规则（离线）"},
                                                        {"deepseek", "云端处理：DeepSeek"},
                                                        {"auto", "内置规则（离线）"}};
    for (const auto& [preset, route] : rows) {
        client.setCurrentPreset(LLMClient::preset(QLatin1String(preset)));
        EXPECT_EQ(OnboardingPanel::routeText(client),
                  QStringLiteral("当前处理路线：") + QString::fromUtf8(route));
    }
    OnboardingPanel* panel = OnboardingPanel::show(QRect(400, 100, 64, 64), {}, client);
    const QLabel* route = panel->findChild<QLabel*>(QStringLiteral("route"));
    EXPECT_EQ(route->text(), u"当前处理路线：内置规则（离线）");
    client.scanLocalProviders();
    EXPECT_TRUE(test::spinUntil([&] {
        return route->text() == u"当前处理路线：本地模型：qwen2.5vl:3b";
    })) << route->text().toStdString();
    panel->close();
}
