// The program's own time around the confirm panel, with permissions that answer at once:
// from the events being ready to the panel on screen (calendar listing and panel building), and
// from Return in the panel to the ball's success state, writing two events to the local vdir
// store and to a real Radicale server on loopback. Wall time, offscreen platform.

#include <benchmark/benchmark.h>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalDavServers.h"
#include "testkit/EventLoop.h"
#include "testkit/MemoryCredentialStore.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmationFlow.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

class Granted final : public PermissionRequesting {
public:
    QCoro::Task<PermissionResult> requestVoiceCapture() override {
        co_return PermissionResult::granted;
    }
    QCoro::Task<PermissionResult> requestCalendarWrite() override {
        co_return PermissionResult::granted;
    }
};

QList<ExtractedEvent> twoEvents() {
    QList<ExtractedEvent> events;
    for (const QString& title : {u"周会"_s, u"午餐"_s}) {
        ExtractedEvent event;
        event.title = title;
        event.startDate = QDateTime::currentDateTimeUtc();
        event.endDate = event.startDate.addSecs(3600);
        events.append(event);
    }
    return events;
}

/// A ball window and the flow over `store`, with the ball's state.
struct Ball {
    explicit Ball(std::shared_ptr<CalendarStoreProtocol> store) {
        window.setGeometry(100, 100, 80, 80);
        ConfirmationFlow::Seams seams;
        seams.window = [this]() -> QWidget* { return &window; };
        seams.state = [this] { return state; };
        seams.setState = [this](CaptureState next) {
            state = next;
            flow->stateChanged(next);
        };
        seams.permissions = std::make_shared<Granted>();
        seams.writer = std::make_shared<CalendarWriter>(std::move(store));
        flow = std::make_unique<ConfirmationFlow>(std::move(seams));
    }
    ConfirmPanel* open() {
        state = CaptureState::confirmation();
        flow->showConfirmPanel(twoEvents());
        test::spinUntil([&] { return flow->confirmPanel() != nullptr; });
        return flow->confirmPanel();
    }
    void drop() {
        flow->stateChanged(CaptureState::idle());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QWidget window;
    CaptureState state = CaptureState::idle();
    std::unique_ptr<ConfirmationFlow> flow;
};

void BM_EventsToPanel(benchmark::State& state) {
    QTemporaryDir dir;
    Ball ball(std::make_shared<VdirCalendarStore>(dir.path()));
    for (auto _ : state) {
        if (!ball.open()) state.SkipWithError("no panel");
        state.PauseTiming();
        ball.drop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EventsToPanel)->Unit(benchmark::kMillisecond)->UseRealTime();

void returnToSuccess(benchmark::State& state, std::shared_ptr<CalendarStoreProtocol> store) {
    Ball ball(std::move(store));
    for (auto _ : state) {
        state.PauseTiming();
        ConfirmPanel* panel = ball.open();
        if (!panel) state.SkipWithError("no panel");
        state.ResumeTiming();
        QTest::keyClick(panel->findChild<QLineEdit*>(u"titleField"_s), Qt::Key_Return);
        test::spinUntil([&] { return ball.state.kind() == CaptureState::Kind::success; });
        state.PauseTiming();
        ball.drop();
        state.ResumeTiming();
    }
}

void BM_ReturnToSuccessVdir(benchmark::State& state) {
    QTemporaryDir dir;
    returnToSuccess(state, std::make_shared<VdirCalendarStore>(dir.path()));
}
BENCHMARK(BM_ReturnToSuccessVdir)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReturnToSuccessRadicale(benchmark::State& state) {
    test::RadicaleServer server;
    if (!server.start() || !server.makeCalendar(u"bench"_s, u"cal"_s, u"Bench"_s, {})) {
        state.SkipWithError("radicale did not start");
        return;
    }
    const auto credentials = std::make_shared<test::MemoryCredentialStore>();
    credentials->secrets.insert(u"caldav"_s, u"pw"_s);
    returnToSuccess(state,
                    std::make_shared<CalDavCalendarStore>(server.url(), u"bench"_s, credentials));
}
BENCHMARK(BM_ReturnToSuccessRadicale)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
