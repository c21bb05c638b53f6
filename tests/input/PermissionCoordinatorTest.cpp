#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "input/PermissionCoordinator.h"
#include "input/ResumeOnce.h"
#include "input/SystemPermissionAdapter.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using test::await;
using Answer = SystemPermissionAdapter::CalendarAccess::Answer;

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

TEST(SystemPermissionAdapter, TheDesktopGrantsAndADeterminedStatusAnswersWithoutPrompt) {
    {
        test::LogCapture log;
        PermissionCoordinator desktop;
        EXPECT_EQ(await(desktop.requestVoiceCapture()), PermissionResult::granted);
        EXPECT_EQ(await(desktop.requestCalendarWrite()), PermissionResult::granted);
        EXPECT_TRUE(log.failureCodes().isEmpty());  // granted is no failure
    }
    // Restricted, denied, full access, write-only.
    const std::map<int, PermissionResult> expected{{1, PermissionResult::denied},
                                                   {2, PermissionResult::denied},
                                                   {3, PermissionResult::granted},
                                                   {4, PermissionResult::denied}};
    for (const auto& [status, result] : expected) {
        SCOPED_TRACE(status);
        test::LogCapture log;
        auto calendar = std::make_shared<ScriptedCalendar>();
        calendar->status = status;
        SystemPermissionAdapter adapter(calendar);
        EXPECT_EQ(await(adapter.request(ProtectedCapability::calendar)), result);
        EXPECT_EQ(calendar->prompts, 0);
        EXPECT_EQ(log.failureCodes(), result == PermissionResult::granted
                                          ? QStringList()
                                          : QStringList{u"calendarAuthStatus%1"_s.arg(status)});
    }
}

TEST(SystemPermissionAdapter, APromptIsDecidedByItsFirstAnswerOrLostAfterItsTimeOut) {
    using namespace std::chrono_literals;
    const struct {
        const char* name;
        std::chrono::milliseconds timeout;
        std::function<void(const Answer&)> answer;
        PermissionResult result;
        QStringList codes;
    } cases[] = {
        {"granted on another thread",
         60s,
         [](const Answer& answer) { std::thread([answer] { answer(true, std::nullopt); }).join(); },
         PermissionResult::granted,
         {u"calendarAuthStatus0"_s}},
        {"an error, the grant flag decides",
         60s,
         [](const Answer& answer) { answer(false, 13); },
         PermissionResult::denied,
         {u"calendarAuthStatus0"_s, u"calendarAccessRequestError13"_s}},
        {"never answered",
         30ms,
         [](const Answer&) {},
         PermissionResult::denied,
         {u"calendarAuthStatus0"_s, u"calendarAccessPromptLost"_s}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogCapture log;
        auto calendar = std::make_shared<ScriptedCalendar>();
        std::optional<PermissionResult> result;
        auto running =
            requestInto(std::make_shared<SystemPermissionAdapter>(calendar, c.timeout), result);
        ASSERT_EQ(calendar->prompts, 1);
        EXPECT_FALSE(result);
        c.answer(calendar->answer);
        ASSERT_TRUE(test::spinUntil([&] { return result.has_value(); }));
        EXPECT_EQ(*result, c.result);
        // A late answer, the other way, changes nothing.
        calendar->answer(c.result != PermissionResult::granted, std::nullopt);
        QCoreApplication::processEvents();
        EXPECT_EQ(*result, c.result);
        EXPECT_EQ(log.failureCodes(), c.codes);
    }
}

TEST(ResumeOnce, OnlyTheFirstOfRacingThreadsResumesTheWaiter) {
    auto once = std::make_shared<ResumeOnce<int>>();
    std::atomic<int> winners = 0;
    std::atomic<int> winner = -1;
    std::vector<std::thread> racers;
    for (int i = 0; i < 8; ++i) {
        racers.emplace_back([&, i] {
            if (i % 2 ? once->resume(i) : once->resumeThrowing(std::make_exception_ptr(i))) {
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
