// Events written per second: to the local vdir store (one atomic file each) and to a real
// Radicale server on loopback (one PUT each), through the stores' public operations. Wall
// time: the vdir store waits for each file to reach the disk.

#include <benchmark/benchmark.h>
#include <QTemporaryDir>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalDavServers.h"
#include "testkit/EventLoop.h"
#include "testkit/MemoryCredentialStore.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

ExtractedEvent benchEvent() {
    ExtractedEvent event;
    event.title = u"周会"_s;
    event.location = u"Room 4"_s;
    event.startDate = QDateTime::currentDateTimeUtc();
    event.endDate = event.startDate.addSecs(3600);
    event.reminderMinutes = 10;
    event.recurrence = u"weekly"_s;
    return event;
}

void saveEvents(benchmark::State& state, CalendarStoreProtocol& store, const QString& calendar) {
    const ExtractedEvent event = benchEvent();
    for (auto _ : state) {
        benchmark::DoNotOptimize(test::await(store.save(event, calendar)));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_VdirWrite(benchmark::State& state) {
    QTemporaryDir dir;
    VdirCalendarStore store(dir.path());
    const QString calendar = test::await(store.writableCalendars()).first().id;
    saveEvents(state, store, calendar);
}
BENCHMARK(BM_VdirWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RadicaleWrite(benchmark::State& state) {
    test::RadicaleServer server;
    if (!server.start() || !server.makeCalendar(u"bench"_s, u"cal"_s, u"Bench"_s, {})) {
        state.SkipWithError("radicale did not start");
        return;
    }
    const auto credentials = std::make_shared<test::MemoryCredentialStore>();
    credentials->secrets.insert(u"caldav"_s, u"pw"_s);
    CalDavCalendarStore store(server.url(), u"bench"_s, credentials);
    saveEvents(state, store, test::await(store.writableCalendars()).first().id);
}
BENCHMARK(BM_RadicaleWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
