#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <functional>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/CalendarWriter.h"
#include "calendar/DavMultistatus.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/ICalendarReading.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/RadicaleServer.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::sampleEvent;

namespace {

class CalDavCalendarStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::RadicaleServer::isInstalled()) GTEST_SKIP() << "radicale is not installed";
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, u"#FF7F00FF"_s));
        ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"home"_s, u"家"_s, {}));
        ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"tasks"_s, u"Tasks"_s, {}, u"VTODO"_s));
        ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"shared"_s, u"Shared"_s, {}));
        ASSERT_TRUE(server.makeReadOnly(u"alice"_s, u"shared"_s));
        credentials->secrets.insert(u"caldav"_s, u"pw"_s);
    }

    QString calendarID(const QString& name) const {
        return server.url().toString() + u"alice/"_s + name + u'/';
    }
    int resourceStatus(const QString& calendar, const QString& uid) {
        return server.request("GET", u"/alice/"_s + calendar + u'/' + uid + u".ics"_s);
    }

    test::RadicaleServer server;
    std::shared_ptr<test::MemoryCredentialStore> credentials =
        std::make_shared<test::MemoryCredentialStore>();
    CalDavCalendarStore store{server.url(), u"alice"_s, credentials, std::chrono::seconds(5)};
};

/// Passes saves to the server and stops the server after `stopAfter` of them.
class StoppingStore final : public CalendarStoreProtocol {
public:
    StoppingStore(CalendarStoreProtocol& inner, test::RadicaleServer& server, int stopAfter)
        : m_inner(inner), m_server(server), m_stopAfter(stopAfter) {}
    QCoro::Task<QList<CalendarChoice>> writableCalendars() override {
        return m_inner.writableCalendars();
    }
    QCoro::Task<QString> save(ExtractedEvent event, QString calendarID) override {
        QString id = co_await m_inner.save(std::move(event), std::move(calendarID));
        if (++m_saved == m_stopAfter) m_server.stop();
        co_return id;
    }

private:
    CalendarStoreProtocol& m_inner;
    test::RadicaleServer& m_server;
    int m_stopAfter;
    int m_saved = 0;
};

}  // namespace

TEST(DavMultistatus, ReadsPropertiesByNamespaceNotPrefixAndOnlyFound) {
    const QByteArray body = R"(<?xml version="1.0"?>
<multistatus xmlns="DAV:" xmlns:X="urn:ietf:params:xml:ns:caldav">
 <response><href>/a/</href>
  <propstat><prop><displayname> Work </displayname>
    <resourcetype><collection/><X:calendar/></resourcetype>
    <X:supported-calendar-component-set><X:comp name="VEVENT"/></X:supported-calendar-component-set>
    <current-user-principal><href>/p/</href></current-user-principal>
   </prop><status>HTTP/1.1 200 OK</status></propstat>
  <propstat><prop><X:calendar-color/></prop><status>HTTP/1.1 404 Not Found</status></propstat>
 </response>
 <D:response xmlns:D="DAV:"><D:href>/b/</D:href></D:response>
</multistatus>)";
    const auto responses = parseMultistatus(body);
    ASSERT_TRUE(responses.has_value());
    ASSERT_EQ(responses->size(), 2);
    const DavResponse& first = responses->first();
    EXPECT_EQ(first.href, u"/a/"_s);
    EXPECT_EQ(first.property(u"{DAV:}displayname"_s)->text, u"Work"_s);
    EXPECT_TRUE(first.property(u"{DAV:}resourcetype"_s)
                    ->descendants.contains(u"{urn:ietf:params:xml:ns:caldav}calendar"_s));
    EXPECT_EQ(first.property(u"{urn:ietf:params:xml:ns:caldav}supported-calendar-component-set"_s)
                  ->nameAttributes,
              QStringList{u"VEVENT"_s});
    EXPECT_EQ(first.property(u"{DAV:}current-user-principal"_s)->hrefs, QStringList{u"/p/"_s});
    EXPECT_EQ(first.property(u"{http://apple.com/ns/ical/}calendar-color"_s), nullptr);
    EXPECT_EQ(responses->at(1).href, u"/b/"_s);
    EXPECT_FALSE(parseMultistatus("<multistatus xmlns=\"DAV:\"><response>").has_value());
}

TEST(CalDavCalendarStoreUrls, PlainHttpOnlyToLoopback) {
    for (const char* allowed : {"https://dav.example.com/", "http://127.0.0.1:5232/",
                                "http://127.1.2.3/", "http://[::1]:8080/", "http://LocalHost/"}) {
        EXPECT_TRUE(CalDavCalendarStore::isAllowedUrl(QUrl(QLatin1String(allowed)))) << allowed;
    }
    for (const char* refused :
         {"http://dav.example.com/", "http://192.168.1.2/", "ftp://127.0.0.1/", "",
          "https:///nohost", "http://127.0.0.1.example.com/"}) {
        EXPECT_FALSE(CalDavCalendarStore::isAllowedUrl(QUrl(QLatin1String(refused)))) << refused;
    }
    // A refused address is never contacted: no access, and listing fails at once.
    CalDavCalendarStore remote(QUrl(u"http://192.0.2.1/"_s), u"alice"_s, nullptr);
    EXPECT_FALSE(await(remote.hasFullAccess()));
    EXPECT_THROW(await(remote.writableCalendars()), NetworkError);
}

TEST_F(CalDavCalendarStoreTest, DiscoversWritableEventCalendarsWithTitlesAndColours) {
    EXPECT_TRUE(await(store.hasFullAccess()));
    QList<CalendarChoice> calendars = await(store.writableCalendars());
    std::sort(calendars.begin(), calendars.end(),
              [](const CalendarChoice& a, const CalendarChoice& b) { return a.id < b.id; });
    EXPECT_EQ(calendars, (QList<CalendarChoice>{{calendarID(u"home"_s), u"家"_s, u"#888888"_s},
                                                {calendarID(u"work"_s), u"Work"_s, u"#FF7F00"_s}}));
}

TEST_F(CalDavCalendarStoreTest, SavesEachEventAsItsOwnResource) {
    ExtractedEvent event = sampleEvent();
    event.reminderMinutes = 10;
    const QString uid = await(store.save(event, calendarID(u"work"_s)));
    QByteArray body;
    ASSERT_EQ(server.request("GET", u"/alice/work/"_s + uid + u".ics"_s, {}, u"alice"_s, &body),
              200);
    EXPECT_TRUE(body.contains("UID:" + uid.toUtf8()));
    EXPECT_TRUE(body.contains("TRIGGER:-PT10M"));
    // Saving goes to a calendar the server lists, writable or not; the server decides.
    const auto failsWith = [&](const QString& id, CalendarStoreError::Kind kind) {
        try {
            await(store.save(sampleEvent(), id));
            ADD_FAILURE() << id.toStdString();
        } catch (const CalendarStoreError& error) {
            EXPECT_EQ(error.kind(), kind) << id.toStdString();
        }
    };
    failsWith(calendarID(u"gone"_s), CalendarStoreError::Kind::notFound);
    failsWith(calendarID(u"shared"_s), CalendarStoreError::Kind::saveFailed);
}

// The server's copy of a weekly event written in the zone the process runs in carries that
// zone's VTIMEZONE and TZID; libical, reading it, expands it to one wall-clock hour on both
// sides of the zone's daylight saving change. In a zone without an IANA name the copy holds the
// UTC instant.
TEST_F(CalDavCalendarStoreTest, TheServersCopyRepeatsAtOneWallClockHourAcrossDaylightSaving) {
    struct Case {
        QByteArray zone;
        QDate first;
        QByteArray readingZone;  // the zone the hour is read in
        bool zoned;
    };
    const Case cases[] = {{"America/New_York", QDate(2026, 10, 26), "America/New_York", true},
                          {"Europe/Berlin", QDate(2026, 10, 19), "Europe/Berlin", true},
                          {"Asia/Shanghai", QDate(2026, 10, 26), "Asia/Shanghai", true},
                          {"XYZ+3", QDate(2026, 10, 26), "Etc/GMT+3", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone.toStdString());
        const test::ProcessZone zone(c.zone);
        ASSERT_EQ(QTimeZone::systemTimeZoneId(), c.zone);
        const QTimeZone readingZone(c.readingZone);
        ExtractedEvent weekly = sampleEvent();
        weekly.startDate = QDateTime(c.first, QTime(9, 0), readingZone).toUTC();
        weekly.endDate = weekly.startDate.addSecs(30 * 60);
        weekly.recurrence = u"weekly"_s;
        const QString uid = await(store.save(weekly, calendarID(u"work"_s)));
        QByteArray body;
        ASSERT_EQ(server.request("GET", u"/alice/work/"_s + uid + u".ics"_s, {}, u"alice"_s, &body),
                  200);

        const test::ReadEvent read = test::readFirstEvent(body, 3);
        ASSERT_TRUE(read.parsed) << body.toStdString();
        EXPECT_EQ(read.vtimezones, c.zoned ? 1 : 0);
        EXPECT_EQ(read.startTzid, c.zoned ? QString::fromLatin1(c.zone) : QString());
        EXPECT_EQ(read.startIsUtc, !c.zoned);
        EXPECT_EQ(read.end, weekly.endDate);
        ASSERT_EQ(read.starts.size(), 3);
        EXPECT_EQ(read.starts.first(), weekly.startDate);
        for (int week = 0; week < 3; ++week) {
            EXPECT_EQ(read.starts[week].toTimeZone(readingZone),
                      QDateTime(c.first.addDays(7 * week), QTime(9, 0), readingZone))
                << week;
        }
    }
}

TEST_F(CalDavCalendarStoreTest, AServerGoneMidBatchKeepsWhatWasSavedAndFailsTheRest) {
    StoppingStore stopping(store, server, 2);
    CalendarWriter writer(std::shared_ptr<CalendarStoreProtocol>(&stopping, [](auto*) {}));
    test::LogCapture log;
    const WriteReceipt receipt =
        await(writer.write({sampleEvent(u"one"_s), sampleEvent(u"two"_s), sampleEvent(u"three"_s),
                            sampleEvent(u"four"_s)},
                           calendarID(u"work"_s)));
    EXPECT_EQ(receipt.calendar.id, calendarID(u"work"_s));
    ASSERT_EQ(receipt.createdEventIDs.size(), 2);
    EXPECT_EQ(receipt.failures,
              (QList<WriteFailure>{{u"three"_s, u"save"_s}, {u"four"_s, u"save"_s}}));
    EXPECT_EQ(log.lines(), QStringList{u"event=calendarWrite(succeeded: 2, failed: 2)"_s});

    ASSERT_TRUE(server.start());
    for (const QString& uid : receipt.createdEventIDs) {
        EXPECT_EQ(resourceStatus(u"work"_s, uid), 200);
    }
    EXPECT_EQ(QDir(server.storageFolder() + u"/collection-root/alice/work"_s)
                  .entryList({u"*.ics"_s}, QDir::Files)
                  .size(),
              2);
}

TEST_F(CalDavCalendarStoreTest, AStoppedServerGivesNoAccess) {
    server.stop();
    EXPECT_FALSE(await(store.hasFullAccess()));
    EXPECT_THROW(await(store.writableCalendars()), NetworkError);
}

// vdirsyncer, a real peer of both stores, carries the local vdir to the CalDAV server.
TEST_F(CalDavCalendarStoreTest, VdirsyncerSyncsTheLocalVdirToTheServer) {
    const QString vdirsyncer = u"/usr/bin/vdirsyncer"_s;
    if (!QFileInfo(vdirsyncer).isExecutable()) {
        GTEST_SKIP() << "vdirsyncer is not installed (scripts/setup)";
    }
    QTemporaryDir dir;
    VdirCalendarStore local(dir.path() + u"/calendars"_s);
    ASSERT_EQ(await(local.writableCalendars()).size(), 1);
    const QString uid = await(local.save(sampleEvent(), u"Zorbel"_s));

    const QString config = dir.path() + u"/config"_s;
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((u"[general]\nstatus_path = \""_s + dir.path() +
                u"/status/\"\n\n[pair zorbel]\na = \"local\"\nb = \"remote\"\n"
                "collections = [\"from a\"]\n\n[storage local]\ntype = \"filesystem\"\n"
                "path = \""_s +
                dir.path() +
                u"/calendars/\"\nfileext = \".ics\"\n\n[storage remote]\ntype = \"caldav\"\n"
                "url = \""_s +
                server.url().toString() + u"\"\nusername = \"alice\"\npassword = \"pw\"\n"_s)
                   .toUtf8());
    file.close();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, dir.path());
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    for (const QString& command : {u"discover"_s, u"sync"_s}) {
        process.start(u"/bin/sh"_s,
                      {u"-c"_s, u"yes | \"$0\" -c \"$1\" "_s + command, vdirsyncer, config});
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
    }
    QByteArray listing;
    ASSERT_EQ(server.request("GET", u"/alice/Zorbel/"_s, {}, u"alice"_s, &listing), 200);
    EXPECT_TRUE(listing.contains(uid.toUtf8())) << listing.toStdString();
}

TEST(CalDavHostileServer, IsRefusedWithATypedErrorAndNothingGoesElsewhere) {
    test::ChatCompletionsServer elsewhere;
    const QByteArray pointingAway =
        R"(<multistatus xmlns="DAV:"><response><href>/</href><propstat><prop>)"
        R"(<current-user-principal><href>)" +
        elsewhere.url(u"/p/"_s).toUtf8() +
        R"(</href></current-user-principal></prop>)"
        R"(<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>)";
    const struct {
        const char* name;
        std::function<void(test::ChatCompletionsServer&)> script;
        NetworkError::Code code;
    } cases[] = {
        // Accepts, reads the request and never answers: Qt ends the reply itself.
        {"silent", [](auto& server) { server.delayAnswers(5000); }, NetworkError::Code::timedOut},
        {"huge", [](auto& server) { server.answerBody(QByteArray(5 << 20, 'x'), 207); },
         NetworkError::Code::tooLarge},
        {"href to another origin", [&](auto& server) { server.answerBody(pointingAway, 207); },
         NetworkError::Code::otherOrigin},
    };
    for (const auto& hostile : cases) {
        test::ChatCompletionsServer server;
        hostile.script(server);
        const auto credentials = std::make_shared<test::MemoryCredentialStore>();
        credentials->secrets.insert(u"caldav"_s, u"pw"_s);
        CalDavCalendarStore store{QUrl(server.url(u"/"_s)), u"alice"_s, credentials,
                                  std::chrono::milliseconds(200)};
        try {
            await(store.writableCalendars());
            ADD_FAILURE() << hostile.name;
        } catch (const NetworkError& error) {
            EXPECT_EQ(error.code(), hostile.code) << hostile.name;
        }
        EXPECT_EQ(server.requests().size(), 1) << hostile.name;
    }
    EXPECT_TRUE(elsewhere.requests().isEmpty());
}

TEST(DavMultistatus, DeepNestingIsRefusedAtOnce) {
    const QByteArray deep = "<multistatus xmlns=\"DAV:\">" + QByteArray("<a>").repeated(300000);
    EXPECT_FALSE(parseMultistatus(deep).has_value());
}
