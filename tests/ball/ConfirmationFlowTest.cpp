// The confirmation flow end to end: substitute permissions, a real local calendar folder (and a
// real CalDAV server), the real confirm panel driven by key events.

#include <gtest/gtest.h>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCalendarStore.h"
#include "testkit/FakeCaptureServices.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/RadicaleServer.h"
#include "testkit/TempXdg.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmationFlow.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;
using zorbel::test::spinUntil;

namespace {

const CaptureState kCalendarDenied =
    CaptureState::failure(UserFacingFailure::permissionDenied(ProtectedCapability::calendar));
const CaptureState kCalendarWriteFailed =
    CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite));
const QString kCalendarRefusedLine = u"event=permission(kind: \"calendar\", granted: false)"_s;

class ConfirmationFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ball.setGeometry(600, 100, 80, 80);
        ball.show();
    }

    /// The flow over `calendarStore` (the local folder by default), as the ball view sets it up:
    /// every state it sets is forwarded back to it.
    void makeFlow(std::shared_ptr<CalendarStoreProtocol> calendarStore = nullptr,
                  bool withWindow = true) {
        store = calendarStore ? std::move(calendarStore) : vdir;
        ConfirmationFlow::Seams seams;
        seams.window = [this, withWindow]() -> QWidget* { return withWindow ? &ball : nullptr; };
        seams.state = [this] { return state; };
        seams.setState = [this](CaptureState next) { setState(std::move(next)); };
        seams.permissions = permissions;
        seams.writer = std::make_shared<CalendarWriter>(store);
        flow = std::make_unique<ConfirmationFlow>(std::move(seams));
    }
    void setState(CaptureState next) {
        state = next;
        states.append(next);
        if (flow) flow->stateChanged(next);
    }

    /// Opens the review of `titles` and waits for the panel.
    ConfirmPanel* review(const QStringList& titles) {
        QList<ExtractedEvent> events;
        for (const QString& title : titles) events.append(sampleEvent(title));
        flow->showConfirmPanel(events);
        spinUntil([&] { return flow->confirmPanel() || !states.isEmpty(); });
        return flow->confirmPanel();
    }
    void pressReturn(ConfirmPanel* panel) {
        QTest::keyClick(panel->findChild<QLineEdit*>(u"titleField"_s), Qt::Key_Return);
    }
    /// The titles of the events in the local calendar "Zorbel".
    QStringList writtenTitles() const {
        const QDir folder(vdir->root() + u"/Zorbel"_s);
        QStringList titles;
        for (const QString& name : folder.entryList({u"*.ics"_s}, QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.startsWith("SUMMARY:"))
                    titles.append(QString::fromUtf8(line.mid(8)).trimmed());
            }
        }
        titles.sort();
        return titles;
    }

    test::TempXdg xdg;
    test::LogCapture log;
    QWidget ball;
    std::shared_ptr<test::FakePermissions> permissions = std::make_shared<test::FakePermissions>();
    std::shared_ptr<VdirCalendarStore> vdir = std::make_shared<VdirCalendarStore>();
    std::shared_ptr<CalendarStoreProtocol> store;
    CaptureState state = CaptureState::confirmation();
    QList<CaptureState> states;
    std::unique_ptr<ConfirmationFlow> flow;
};

}  // namespace

TEST_F(ConfirmationFlowTest, ConfirmedEventsLandInTheLocalCalendarAndTheBallShowsSuccess) {
    makeFlow();
    ConfirmPanel* panel = review({u"晨会"_s, u"评审"_s, u"午餐"_s});
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->height(), 24 * 3 + 348);
    EXPECT_TRUE(states.isEmpty());  // the ball keeps showing confirmation
    EXPECT_EQ(permissions->calendar.calls(), 1);

    pressReturn(panel);
    EXPECT_EQ(flow->confirmPanel(), nullptr);
    ASSERT_TRUE(spinUntil([&] { return state.kind() == CaptureState::Kind::success; }));
    EXPECT_EQ(states, (QList<CaptureState>{CaptureState::success({u"Zorbel"_s, 3})}));
    EXPECT_EQ(permissions->calendar.calls(), 2);
    EXPECT_EQ(writtenTitles(), (QStringList{u"午餐"_s, u"晨会"_s, u"评审"_s}));
    EXPECT_TRUE(log.lines().contains(u"event=calendarWrite(succeeded: 3, failed: 0)"_s));
}

TEST_F(ConfirmationFlowTest, NoWindowFailsAtOnce) {
    makeFlow(nullptr, false);
    flow->showConfirmPanel({sampleEvent()});
    EXPECT_EQ(states, QList<CaptureState>{CaptureState::failure(
                          UserFacingFailure::of(UserFacingFailure::Kind::providerUnavailable))});
    EXPECT_EQ(log.failureCodes(), QStringList{u"confirmNoWindow"_s});
    EXPECT_EQ(permissions->calendar.calls(), 0);
}

TEST_F(ConfirmationFlowTest, ARefusedPermissionOpensNoPanel) {
    makeFlow();
    permissions->calendar.answer(PermissionResult::restricted);
    EXPECT_EQ(review({u"a"_s}), nullptr);
    EXPECT_EQ(states, QList<CaptureState>{kCalendarDenied});
    EXPECT_EQ(log.lines(), QStringList{kCalendarRefusedLine});
}

TEST_F(ConfirmationFlowTest, NoCalendarToWriteToOpensNoPanel) {
    auto flaky = std::make_shared<test::FakeCalendarStore>(vdir);
    flaky->listingFails = true;
    makeFlow(flaky);
    EXPECT_EQ(review({u"a"_s}), nullptr);
    EXPECT_EQ(states, QList<CaptureState>{kCalendarWriteFailed});
    EXPECT_EQ(log.failureCodes(), QStringList{u"noWritableCalendar"_s});
}

TEST_F(ConfirmationFlowTest, PermissionRevokedBeforeWritingWritesNothing) {
    makeFlow();
    ConfirmPanel* panel = review({u"a"_s, u"b"_s});
    ASSERT_NE(panel, nullptr);
    permissions->calendar.answer(PermissionResult::denied);
    pressReturn(panel);
    ASSERT_TRUE(spinUntil([&] { return !states.isEmpty(); }));
    EXPECT_EQ(states, QList<CaptureState>{kCalendarDenied});
    EXPECT_TRUE(writtenTitles().isEmpty());
    EXPECT_EQ(log.lines(), QStringList{kCalendarRefusedLine});
}

TEST_F(ConfirmationFlowTest, OneFailedEventOfThreeShowsTheWriteFailure) {
    auto flaky = std::make_shared<test::FakeCalendarStore>(vdir);
    flaky->failingTitles = {u"b"_s};
    makeFlow(flaky);
    ConfirmPanel* panel = review({u"a"_s, u"b"_s, u"c"_s});
    ASSERT_NE(panel, nullptr);
    pressReturn(panel);
    ASSERT_TRUE(spinUntil([&] { return !states.isEmpty(); }));
    EXPECT_EQ(states, QList<CaptureState>{kCalendarWriteFailed});
    EXPECT_EQ(writtenTitles(), (QStringList{u"a"_s, u"c"_s}));
}

TEST_F(ConfirmationFlowTest, DiscardReturnsToIdleOnlyFromConfirmation) {
    makeFlow();
    ConfirmPanel* panel = review({u"a"_s});
    ASSERT_NE(panel, nullptr);
    panel->requestDiscard();
    QTest::mouseClick(panel->findChild<QWidget*>(u"confirmDiscardButton"_s), Qt::LeftButton);
    EXPECT_EQ(flow->confirmPanel(), nullptr);
    EXPECT_EQ(states, QList<CaptureState>{CaptureState::idle()});

    // A state the flow was not told of is left alone.
    states.clear();
    state = CaptureState::confirmation();
    panel = review({u"a"_s});
    ASSERT_NE(panel, nullptr);
    state = kCalendarWriteFailed;
    panel->requestDiscard();
    QTest::mouseClick(panel->findChild<QWidget*>(u"confirmDiscardButton"_s), Qt::LeftButton);
    EXPECT_TRUE(states.isEmpty());
    EXPECT_TRUE(writtenTitles().isEmpty());
}

TEST_F(ConfirmationFlowTest, LeavingConfirmationClosesThePanelWithoutCallbacks) {
    makeFlow();
    QPointer<ConfirmPanel> panel = review({u"a"_s});
    ASSERT_NE(panel, nullptr);
    setState(CaptureState::idle());  // Escape cancelled the capture
    EXPECT_EQ(flow->confirmPanel(), nullptr);
    ASSERT_FALSE(panel.isNull());
    EXPECT_TRUE(panel->isFinished());
    EXPECT_FALSE(panel->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(panel.isNull());
    EXPECT_EQ(states, QList<CaptureState>{CaptureState::idle()});
    EXPECT_EQ(permissions->calendar.calls(), 1);
}

TEST_F(ConfirmationFlowTest, AFlowGoneWhileWaitingDoesNothing) {
    makeFlow();
    permissions->calendar.hold();
    flow->showConfirmPanel({sampleEvent()});
    ASSERT_TRUE(spinUntil([&] { return permissions->calendar.waiting() == 1; }));
    flow.reset();
    permissions->calendar.release();
    ASSERT_TRUE(spinUntil([&] { return permissions->calendar.settled(); }));
    EXPECT_TRUE(states.isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(ConfirmationFlowTest, ConfirmedEventsReachACalDavServer) {
    if (!test::RadicaleServer::isInstalled()) GTEST_SKIP() << "radicale is not installed";
    test::RadicaleServer server;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, u"#FF7F00FF"_s));
    auto credentials = std::make_shared<test::MemoryCredentialStore>();
    credentials->secrets.insert(u"caldav"_s, u"pw"_s);
    makeFlow(std::make_shared<CalDavCalendarStore>(server.url(), u"alice"_s, credentials,
                                                   std::chrono::seconds(5)));
    ConfirmPanel* panel = review({u"a"_s, u"b"_s});
    ASSERT_NE(panel, nullptr);
    pressReturn(panel);
    ASSERT_TRUE(spinUntil([&] { return state.kind() == CaptureState::Kind::success; }));
    EXPECT_EQ(states.first(), CaptureState::success({u"Work"_s, 2}));
    EXPECT_EQ(QDir(server.storageFolder() + u"/collection-root/alice/work"_s)
                  .entryList({u"*.ics"_s}, QDir::Files)
                  .size(),
              2);
}
