#include <gtest/gtest.h>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "input/PermissionCoordinator.h"
#include "input/ResumeOnce.h"
#include "input/SystemPermissionAdapter.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"

using namespace zorbel;
using test::await;

namespace {

class ScriptedAdapter final : public PermissionAdapting {
public:
    std::map<ProtectedCapability, PermissionResult> answers;
    std::vector<ProtectedCapability> asked;

    QCoro::Task<PermissionResult> request(ProtectedCapability capability) override {
        asked.push_back(capability);
        co_return answers.at(capability);
    }
};

/// A calendar whose status is set by the test and whose prompt answers only when told to.
class ScriptedCalendar final : public SystemPermissionAdapter::CalendarAccess {
public:
    int status = notDetermined;
    int prompts = 0;
    Answer answer;

    int authorizationStatus() override { return status; }
    void requestFullAccess(Answer a) override {
        ++prompts;
        answer = std::move(a);
    }
};

QCoro::Task<void> requestInto(std::shared_ptr<SystemPermissionAdapter> adapter,
                              std::optional<PermissionResult>& result) {
    result = co_await adapter->request(ProtectedCapability::calendar);
}

}  // namespace

TEST(PermissionCoordinator, SpeechIsAskedOnlyAfterAGrantedMicrophone) {
    auto adapter = std::make_shared<ScriptedAdapter>();
    PermissionCoordinator coordinator(adapter);
    for (const auto microphone : {PermissionResult::denied, PermissionResult::restricted}) {
        adapter->asked.clear();
        adapter->answers = {{ProtectedCapability::microphone, microphone}};
        EXPECT_EQ(await(coordinator.requestVoiceCapture()), PermissionResult::denied);
        EXPECT_EQ(adapter->asked, std::vector{ProtectedCapability::microphone});
    }
    adapter->asked.clear();
    adapter->answers = {{ProtectedCapability::microphone, PermissionResult::granted},
                        {ProtectedCapability::speechRecognition, PermissionResult::restricted},
                        {ProtectedCapability::calendar, PermissionResult::denied}};
    EXPECT_EQ(await(coordinator.requestVoiceCapture()), PermissionResult::restricted);
    EXPECT_EQ(await(coordinator.requestCalendarWrite()), PermissionResult::denied);
    EXPECT_EQ(adapter->asked,
              (std::vector{ProtectedCapability::microphone, ProtectedCapability::speechRecognition,
                           ProtectedCapability::calendar}));
}

TEST(SystemPermissionAdapter, DesktopGrantsEverythingWithoutPrompt) {
    test::LogCapture log;
    PermissionCoordinator coordinator;
    EXPECT_EQ(await(coordinator.requestVoiceCapture()), PermissionResult::granted);
    EXPECT_EQ(await(coordinator.requestCalendarWrite()), PermissionResult::granted);
    // Granted is no failure.
    EXPECT_TRUE(log.failureCodes().isEmpty()) << log.failureCodes().join(u' ').toStdString();
}

TEST(SystemPermissionAdapter, DeterminedStatusAnswersWithoutPromptLoggingAllButFullAccess) {
    const std::map<int, PermissionResult> expected{{1, PermissionResult::denied},
                                                   {2, PermissionResult::denied},
                                                   {3, PermissionResult::granted},
                                                   {4, PermissionResult::denied}};
    for (const auto& [status, result] : expected) {
        test::LogCapture log;
        auto calendar = std::make_shared<ScriptedCalendar>();
        calendar->status = status;
        SystemPermissionAdapter adapter(calendar);
        EXPECT_EQ(await(adapter.request(ProtectedCapability::calendar)), result) << status;
        EXPECT_EQ(calendar->prompts, 0);
        const QStringList logged =
            result == PermissionResult::granted
                ? QStringList()
                : QStringList{QStringLiteral("calendarAuthStatus") + QString::number(status)};
        EXPECT_EQ(log.failureCodes(), logged) << status;
    }
}

/// A calendar request whose prompt is pending until the test answers it.
class CalendarPromptTest : public ::testing::Test {
protected:
    test::LogCapture log;
    std::shared_ptr<ScriptedCalendar> calendar = std::make_shared<ScriptedCalendar>();
    std::optional<PermissionResult> result;
    std::optional<QCoro::Task<void>> running;

    void ask(
        std::chrono::milliseconds promptTimeout = SystemPermissionAdapter::kCalendarPromptTimeout) {
        running.emplace(requestInto(
            std::make_shared<SystemPermissionAdapter>(calendar, promptTimeout), result));
        ASSERT_EQ(calendar->prompts, 1);
    }
    bool answered() {
        return test::spinUntil([&] { return result.has_value(); });
    }
};

TEST_F(CalendarPromptTest, AnswerFromAnotherThreadDecides) {
    ask();
    EXPECT_FALSE(result);
    std::thread platform([answer = calendar->answer] { answer(true, std::nullopt); });
    platform.join();
    ASSERT_TRUE(answered());
    EXPECT_EQ(*result, PermissionResult::granted);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("calendarAuthStatus0")});
}

TEST_F(CalendarPromptTest, AnErrorIsLoggedAndTheGrantFlagDecides) {
    ask();
    calendar->answer(false, 13);
    ASSERT_TRUE(answered());
    EXPECT_EQ(*result, PermissionResult::denied);
    EXPECT_EQ(log.failureCodes(), (QStringList{QStringLiteral("calendarAuthStatus0"),
                                               QStringLiteral("calendarAccessRequestError13")}));
}

TEST_F(CalendarPromptTest, LostPromptIsDeniedAndALateGrantChangesNothing) {
    ask(std::chrono::milliseconds(30));
    ASSERT_TRUE(answered());
    EXPECT_EQ(*result, PermissionResult::denied);
    calendar->answer(true, std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(*result, PermissionResult::denied);
    EXPECT_EQ(log.failureCodes(), (QStringList{QStringLiteral("calendarAuthStatus0"),
                                               QStringLiteral("calendarAccessPromptLost")}));
}

TEST(ResumeOnce, OnlyTheFirstOfRacingThreadsResumesTheWaiter) {
    auto once = std::make_shared<ResumeOnce<int>>();
    std::atomic<int> winners = 0;
    std::atomic<int> winner = -1;
    std::vector<std::thread> racers;
    for (int i = 0; i < 8; ++i) {
        racers.emplace_back([&, i] {
            const bool won =
                i % 2 ? once->resume(i) : once->resumeThrowing(std::make_exception_ptr(i));
            if (won) {
                ++winners;
                winner = i;
            }
        });
    }
    for (auto& racer : racers) racer.join();
    EXPECT_EQ(winners, 1);
    if (winner % 2) {
        EXPECT_EQ(await(ResumeOnce<int>::wait(once)), winner);
    } else {
        EXPECT_THROW(await(ResumeOnce<int>::wait(once)), int);
    }
}

TEST(SettingsPaneURL, EachCapabilityHasItsAnchor) {
    EXPECT_TRUE(settingsPaneURL(ProtectedCapability::microphone).endsWith(u"#Privacy_Microphone"));
    EXPECT_TRUE(settingsPaneURL(ProtectedCapability::speechRecognition)
                    .endsWith(u"#Privacy_SpeechRecognition"));
    EXPECT_TRUE(settingsPaneURL(ProtectedCapability::calendar).endsWith(u"#Privacy_Calendars"));
}
