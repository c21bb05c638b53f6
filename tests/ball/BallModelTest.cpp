// A paste on the ball with the real model client and a loopback chat-completions server: the
// ball walks through processing until the events are handed to the confirmation flow.

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "calendar/CalendarWriter.h"
#include "llm/LLMClient.h"
#include "support/Preferences.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCaptureServices.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"
#include "ui/ball/FloatingBallWindow.h"

using namespace zorbel;

TEST(BallWithModel, PastedTextWalksThroughProcessingToTheConfirmationFlow) {
    zorbel::test::TempXdg xdg;
    zorbel::test::LogCapture log;
    zorbel::test::ChatCompletionsServer server;
    server.answerContent(QStringLiteral(
        R"({"events":[{"title":"评审","start_time":"2026-12-11T10:00:00+08:00","end_time":"2026-12-11T11:00:00+08:00"}]})"));
    Preferences::standard()->setValue(QStringLiteral("llm.preset"), QStringLiteral("ollama"));
    LLMClientOptions options;
    options.ollamaBaseURL = server.url();
    auto model = std::make_shared<LLMClient>(
        Preferences::standard(), std::make_shared<zorbel::test::MemoryCredentialStore>(), options);
    zorbel::test::FakeCaptureServices fakes;
    FloatingBallWindow window({fakes.speech, fakes.files, model, fakes.permissions, fakes.consent},
                              std::make_shared<CalendarWriter>(Preferences::standard(), nullptr));
    window.show();
    BallView* view = window.ballView();

    QList<CaptureState> seen;
    QList<ExtractedEvent> received;
    view->setConfirmation({[&](QList<ExtractedEvent> events) { received = events; }, {}, {}});
    QApplication::clipboard()->setText(QStringLiteral("周五上午十点项目评审"));
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(zorbel::test::spinUntil([&] {
        if (seen.isEmpty() || seen.last() != view->renderState()) seen.append(view->renderState());
        return !received.isEmpty();
    }));
    EXPECT_TRUE(seen.contains(CaptureState::processing(ProcessingStage::understanding)));
    EXPECT_EQ(view->renderState(), CaptureState::confirmation());
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.first().title, QStringLiteral("评审"));
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(fakes.consent->questions.isEmpty());  // a local model needs no consent
    EXPECT_TRUE(log.lines().contains(QStringLiteral(R"(event=captureStarted(kind: "paste"))")));
    // Nothing of what was pasted reaches the log.
    for (const QString& line : log.lines()) EXPECT_FALSE(line.contains(QStringLiteral("评审")));
}
