// The confirmation flow: substitute permissions, a local calendar folder behind a store that
// fails on demand, and the real confirm panel.

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCalendarStore.h"
#include "testkit/FakeCaptureServices.h"
#include "testkit/LogCapture.h"
#include "testkit/TempXdg.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmationFlow.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;
using zorbel::test::spinUntil;
using States = QList<CaptureState>;

namespace {

const CaptureState kCalendarDenied =
    CaptureState::failure(UserFacingFailure::permissionDenied(ProtectedCapability::calendar));
const CaptureState kWriteFailed =
    CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite));
const CaptureState kProviderUnavailable =
    CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::providerUnavailable));
const QString kRefused = u"event=permission(kind: \"calendar\", granted: false)"_s;
const QString kWritten = u"event=calendarWrite(succeeded: 3, failed: 0)"_s;

QString failure(const char* code) {
    return u"event=failure(code: \""_s + QLatin1String(code) + u"\")"_s;
}

/// The flow as the ball view sets it up, over the local folder behind a store that fails on
/// demand: every state it sets is forwarded back to it.
struct Flow {
    test::TempXdg xdg;
    test::LogCapture log;
    QWidget ball;
    std::shared_ptr<test::FakePermissions> permissions = std::make_shared<test::FakePermissions>();
    std::shared_ptr<VdirCalendarStore> vdir = std::make_shared<VdirCalendarStore>();
    std::shared_ptr<test::FakeCalendarStore> local =
        std::make_shared<test::FakeCalendarStore>(vdir);
    CaptureState state = CaptureState::confirmation();
    States states;
    std::unique_ptr<ConfirmationFlow> flow;

    bool withWindow = true;

    Flow() {
        ball.setGeometry(600, 100, 80, 80);
        ball.show();
        ConfirmationFlow::Seams seams;
        seams.window = [this]() -> QWidget* { return withWindow ? &ball : nullptr; };
        seams.state = [this] { return state; };
        seams.setState = [this](CaptureState next) { setState(std::move(next)); };
        seams.permissions = permissions;
        seams.writer = std::make_shared<CalendarWriter>(local);
        flow = std::make_unique<ConfirmationFlow>(std::move(seams));
    }
    void setState(CaptureState next) {
        state = next;
        states.append(next);
        if (flow) flow->stateChanged(next);
    }
    /// Opens the review of `titles` and waits for the panel (nullptr when none opens).
    ConfirmPanel* review(const QStringList& titles = {u"a"_s}) {
        QList<ExtractedEvent> events;
        for (const QString& title : titles) events.append(sampleEvent(title));
        flow->showConfirmPanel(events);
        spinUntil([&] { return flow->confirmPanel() || !states.isEmpty(); });
        return flow->confirmPanel();
    }
    /// Confirms with Return in the panel and waits for the outcome: a state, or the panel back
    /// from writing.
    void confirm(ConfirmPanel* panel) {
        QTest::keyClick(panel->findChild<QLineEdit*>(u"titleField"_s), Qt::Key_Return);
        ASSERT_TRUE(spinUntil([&] {
            return !states.isEmpty() ||
                   (flow->confirmPanel() && !flow->confirmPanel()->isWriting());
        }));
    }
    void discard(ConfirmPanel* panel) {
        panel->requestDiscard();
        QTest::mouseClick(panel->findChild<QWidget*>(u"confirmDiscardButton"_s), Qt::LeftButton);
    }
    qsizetype filesWritten() const {
        return QDir(vdir->root() + u"/Zorbel"_s).entryList({u"*.ics"_s}, QDir::Files).size();
    }
};

}  // namespace

TEST(ConfirmationFlow, ConfirmedEventsAreWrittenOnlyWithAWindowACalendarAndPermissionEachTime) {
    using Step = std::function<void(Flow&)>;
    const auto answer = [](PermissionResult result) {
        return [result](Flow& f) { f.permissions->calendar.answer(result); };
    };
    const Step noWindow = [](Flow& f) { f.withWindow = false; };
    const Step noCalendar = [](Flow& f) { f.local->listingFails = true; };
    const struct {
        const char* name;
        Step beforeReview, beforeWrite;
        CaptureState shown;
        QString logged;
        qsizetype written;
    } rows[] = {
        {"all", {}, {}, CaptureState::success({u"Zorbel"_s, 3}), kWritten, 3},
        {"no window", noWindow, {}, kProviderUnavailable, failure("confirmNoWindow"), 0},
        {"refused", answer(PermissionResult::restricted), {}, kCalendarDenied, kRefused, 0},
        {"no calendar", noCalendar, {}, kWriteFailed, failure("noWritableCalendar"), 0},
        {"revoked", {}, answer(PermissionResult::denied), kCalendarDenied, kRefused, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Flow f;
        if (row.beforeReview) row.beforeReview(f);
        if (ConfirmPanel* panel = f.review({u"晨会"_s, u"b"_s, u"午餐"_s})) {
            EXPECT_TRUE(panel->isVisible());
            EXPECT_TRUE(f.states.isEmpty());  // the ball keeps showing confirmation
            if (row.beforeWrite) row.beforeWrite(f);
            f.confirm(panel);
        }
        EXPECT_EQ(f.states, States{row.shown});
        if (!row.logged.isEmpty()) {
            EXPECT_EQ(f.log.lines(), QStringList{row.logged});
        }
        EXPECT_EQ(f.filesWritten(), row.written);
    }
}

TEST(ConfirmationFlow, APartWrittenReviewStaysOpenItsRetryWritesWhatFailedAndUndoTakesAllBack) {
    Flow f;
    f.local->failingTitles = {u"b"_s};
    ConfirmPanel* panel = f.review({u"晨会"_s, u"b"_s, u"午餐"_s});
    ASSERT_NE(panel, nullptr);
    f.confirm(panel);
    ASSERT_EQ(f.flow->confirmPanel(), panel);
    EXPECT_TRUE(f.states.isEmpty()) << "the ball keeps showing confirmation";
    EXPECT_EQ(f.filesWritten(), 2);
    EXPECT_EQ(panel->viewModel().selectedMessages(), u"已写入 2/3，未写入的可重试"_s);
    EXPECT_EQ(panel->viewModel().includedEvents(), QList<ExtractedEvent>{sampleEvent(u"b"_s)});

    f.local->failingTitles.clear();
    f.local->calls.clear();
    f.confirm(panel);
    EXPECT_EQ(f.local->calls.filter(u"save"_s), QStringList{u"save b to Zorbel"_s});
    EXPECT_EQ(f.states, States{CaptureState::success({u"Zorbel"_s, 3})});
    EXPECT_EQ(f.filesWritten(), 3);
    EXPECT_EQ(f.flow->confirmPanel(), nullptr);

    // The first try and its retry are one write to take back.
    ASSERT_TRUE(f.flow->undoAction()->isVisible());
    f.states.clear();
    f.flow->undoAction()->trigger();
    ASSERT_TRUE(spinUntil([&] { return !f.states.isEmpty(); }));
    EXPECT_EQ(f.states, States{CaptureState::success({QString(), 3, true, 0})});
    EXPECT_EQ(f.filesWritten(), 0);
    EXPECT_FALSE(f.flow->undoAction()->isVisible());
}

TEST(ConfirmationFlow, AMoveUpdatesTheEventItConcernsUnlessTheUserAddsItAsNew) {
    // A panel of one event has no list: its note is the form's message line.
    const struct {
        const char* name;
        bool single, addAsNew;
    } rows[] = {{"moved", false, false},
                {"added as new", false, true},
                {"one event, moved", true, false},
                {"one event, added as new", true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Flow f;
        test::await(f.vdir->writableCalendars());
        ExtractedEvent before = sampleEvent(u"评审"_s);
        before.startDate = before.startDate.addDays(-1);
        before.endDate = before.endDate.addDays(-1);
        test::await(f.vdir->save(before, u"Zorbel"_s));
        QList<ExtractedEvent> events{sampleEvent(u"评审"_s), sampleEvent(u"午餐"_s)};
        if (row.single) events.removeLast();
        for (ExtractedEvent& event : events) event.sourceText = u"评审改到周二上午10点"_s;
        f.flow->showConfirmPanel(events);
        ASSERT_TRUE(spinUntil([&] {
            return f.flow->confirmPanel() &&
                   f.flow->confirmPanel()->viewModel().hasChange(
                       f.flow->confirmPanel()->viewModel().events().first().id);
        }));
        ConfirmPanel* panel = f.flow->confirmPanel();
        auto* note =
            panel->findChild<QLabel*>(row.single ? u"validationLabel"_s : u"calendarNote0"_s);
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(note->text().contains(u"<a href=\"change\">更新："_s))
            << note->text().toStdString();
        if (row.addAsNew) Q_EMIT note->linkActivated(u"change"_s);
        f.confirm(panel);
        EXPECT_EQ(f.states, States{CaptureState::success({u"Zorbel"_s, events.size()})});
        EXPECT_EQ(f.filesWritten(), 1 + (row.addAsNew ? events.size() : events.size() - 1));
        EXPECT_EQ(f.local->calls.filter(u"move"_s).size(), row.addAsNew ? 0 : 1);
    }
}

TEST(ConfirmationFlow, DiscardReturnsToIdleOnlyFromConfirmation) {
    Flow f;
    ConfirmPanel* panel = f.review();
    ASSERT_NE(panel, nullptr);
    f.discard(panel);
    EXPECT_EQ(f.flow->confirmPanel(), nullptr);
    EXPECT_EQ(f.states, States{CaptureState::idle()});

    // A state the flow was not told of is left alone.
    f.states.clear();
    f.state = CaptureState::confirmation();
    panel = f.review();
    ASSERT_NE(panel, nullptr);
    f.state = kWriteFailed;
    f.discard(panel);
    EXPECT_TRUE(f.states.isEmpty());
    EXPECT_EQ(f.filesWritten(), 0);
}

TEST(ConfirmationFlow, LeavingConfirmationClosesThePanelWithoutCallbacks) {
    Flow f;
    QPointer<ConfirmPanel> panel = f.review();
    ASSERT_NE(panel, nullptr);
    f.setState(CaptureState::idle());  // Escape cancelled the capture
    EXPECT_EQ(f.flow->confirmPanel(), nullptr);
    ASSERT_FALSE(panel.isNull());
    EXPECT_TRUE(panel->isFinished());
    EXPECT_FALSE(panel->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(panel.isNull());
    EXPECT_EQ(f.states, States{CaptureState::idle()});
    EXPECT_EQ(f.permissions->calendar.calls(), 1);
}

TEST(ConfirmationFlow, AFlowGoneWhileWaitingDoesNothing) {
    Flow f;
    f.permissions->calendar.hold();
    f.flow->showConfirmPanel({sampleEvent()});
    ASSERT_TRUE(spinUntil([&] { return f.permissions->calendar.waiting() == 1; }));
    f.flow.reset();
    f.permissions->calendar.release();
    ASSERT_TRUE(spinUntil([&] { return f.permissions->calendar.settled(); }));
    EXPECT_TRUE(f.states.isEmpty());
    EXPECT_TRUE(f.log.lines().isEmpty());
}
