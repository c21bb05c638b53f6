#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
#include <ctime>

#include "calendar/CalendarWriter.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/EventLoop.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::localTime;
using zorbel::test::ProcessZone;
using zorbel::test::sampleEvent;

namespace {

// khal and this process must agree on the zone; it is set before main.
[[maybe_unused]] const bool kZoneSet = [] {
    qputenv("TZ", "Asia/Shanghai");
    tzset();
    return true;
}();

bool writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class VdirCalendarStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root = dir.path() + u"/calendars"_s;
    VdirCalendarStore store{root};

    void makeCalendar(const QString& name, const QByteArray& displayName, const QByteArray& color) {
        ASSERT_TRUE(QDir().mkpath(root + u'/' + name));
        if (!displayName.isEmpty()) writeText(root + u'/' + name + u"/displayname"_s, displayName);
        if (!color.isEmpty()) writeText(root + u'/' + name + u"/color"_s, color);
    }
    QStringList files(const QString& calendar) const {
        return QDir(root + u'/' + calendar)
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    /// khal's listing of `calendar` from `from` to `to` as sorted "start|end|title|repeat|alarm"
    /// lines, one a day an event falls on (one an event when `once`), read and shown in `zone`.
    std::string khalList(const QString& calendar, const QString& zone, const QString& from,
                         const QString& to, bool once) {
        const QString config = dir.filePath(u"khal.conf"_s);
        writeText(config, QStringLiteral("[calendars]\n[[z]]\npath = %1/%2\n[locale]\n"
                                         "timeformat = %H:%M\ndateformat = %Y-%m-%d\n"
                                         "longdateformat = %Y-%m-%d\n"
                                         "datetimeformat = %Y-%m-%d %H:%M\n"
                                         "longdatetimeformat = %Y-%m-%d %H:%M\n"
                                         "local_timezone = %3\ndefault_timezone = %3\n")
                              .arg(root, calendar, zone)
                              .toUtf8());
        QProcess khal;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, dir.filePath(u"khal-data"_s));
        environment.insert(u"TZ"_s, zone);
        khal.setProcessEnvironment(environment);
        QStringList arguments{u"-c"_s,
                              config,
                              u"list"_s,
                              u"-f"_s,
                              u"{start}|{end}|{title}|{repeat-symbol}|{alarm-symbol}"_s,
                              from,
                              to};
        if (once) arguments.insert(3, u"-o"_s);
        khal.start(kKhal, arguments);
        EXPECT_TRUE(khal.waitForFinished(30000)) << "khal did not finish";
        QStringList events =
            QString::fromUtf8(khal.readAllStandardOutput()).split(u'\n').filter(u"|"_s);
        for (QString& line : events) line = line.simplified();
        events.sort();
        if (events.isEmpty()) ADD_FAILURE() << khal.readAllStandardError().toStdString();
        return events.join(u'\n').toStdString();
    }
    static constexpr QLatin1StringView kKhal{"/usr/bin/khal"};
};

}  // namespace

TEST_F(VdirCalendarStoreTest, AnEmptyRootIsMadeAndGetsTheZorbelCalendarOnce) {
    EXPECT_TRUE(await(store.hasFullAccess()));
    const QList<CalendarChoice> calendars = await(store.writableCalendars());
    EXPECT_EQ(calendars, (QList<CalendarChoice>{{u"Zorbel"_s, u"Zorbel"_s, u"#888888"_s}}));
    EXPECT_EQ(readText(root + u"/Zorbel/displayname"_s), "Zorbel");
    EXPECT_EQ(await(store.writableCalendars()), calendars);

    ASSERT_TRUE(writeText(dir.path() + u"/file"_s, "x"));
    VdirCalendarStore blocked(dir.path() + u"/file/calendars"_s);
    EXPECT_FALSE(await(blocked.hasFullAccess()));
    EXPECT_THROW(await(blocked.writableCalendars()), CalendarStoreError);
}

TEST_F(VdirCalendarStoreTest, ListsWritableCalendarFoldersInNameOrderWithTitlesAndColours) {
    makeCalendar(u"b-work"_s, "Work\n", "#ff7f00cc\n");
    makeCalendar(u"a-home"_s, {}, "not a colour");
    makeCalendar(u".hidden"_s, "Hidden", {});
    makeCalendar(u"c-subscribed"_s, {}, {});
    QFile::setPermissions(root + u"/c-subscribed"_s, QFile::ReadOwner | QFile::ExeOwner);
    QList<CalendarChoice> expected{{u"a-home"_s, u"a-home"_s, u"#888888"_s},
                                   {u"b-work"_s, u"Work"_s, u"#FF7F00"_s}};
    // Root may write into read-only folders.
    if (::geteuid() == 0) expected.append({u"c-subscribed"_s, u"c-subscribed"_s, u"#888888"_s});
    EXPECT_EQ(await(store.writableCalendars()), expected);
    EXPECT_FALSE(QFileInfo::exists(root + u"/Zorbel"_s));
}

TEST_F(VdirCalendarStoreTest, SavesOneNewUidFilePerEventIntoAnExistingCalendarOnly) {
    makeCalendar(u"work"_s, {}, {});
    const QString uid = await(store.save(sampleEvent(), u"work"_s)).uid;
    EXPECT_EQ(files(u"work"_s), QStringList{uid + u".ics"_s});
    EXPECT_TRUE(readText(root + u"/work/"_s + uid + u".ics"_s).contains("UID:" + uid.toUtf8()));
    EXPECT_NE(await(store.save(sampleEvent(), u"work"_s)).uid, uid);
    for (const QString& id : {u"gone"_s, u".."_s, QString(), u"work/.."_s}) {
        try {
            await(store.save(sampleEvent(), id));
            ADD_FAILURE() << id.toStdString();
        } catch (const CalendarStoreError& error) {
            EXPECT_EQ(error.kind(), CalendarStoreError::Kind::notFound);
        }
    }
    EXPECT_EQ(files(u"work"_s).size(), 2);

    // A file is never replaced and no temporary is left.
    const QString path = root + u"/work/event.ics"_s;
    EXPECT_TRUE(VdirCalendarStore::writeNewFile(path, "first"));
    EXPECT_FALSE(VdirCalendarStore::writeNewFile(path, "second"));
    EXPECT_EQ(readText(path), "first");
    EXPECT_FALSE(VdirCalendarStore::writeNewFile(root + u"/missing/event.ics"_s, "x"));
    EXPECT_EQ(files(u"work"_s).size(), 3);
}

// khal, a real reader of the vdir layout, lists what the writer saved with its times, all-day
// spans, alarms and repeat rules, in the zone it was written in.
TEST_F(VdirCalendarStoreTest, KhalListsTheWrittenEvents) {
    if (!QFileInfo(QString(kKhal)).isExecutable()) {
        GTEST_SKIP() << "khal is not installed (scripts/setup)";
    }

    ExtractedEvent weekly = sampleEvent(u"Weekly review"_s);
    weekly.reminderMinutes = 30;
    weekly.recurrence = u"weekly"_s;
    ExtractedEvent trip = sampleEvent(u"Trip"_s);
    trip.allDay = true;
    trip.endDate = localTime(3, 5, 9);
    ExtractedEvent holiday = sampleEvent(u"Holiday"_s);
    holiday.allDay = true;
    holiday.startDate = localTime(3, 10, 0);
    holiday.endDate = localTime(3, 11, 0);
    CalendarWriter writer(std::make_shared<VdirCalendarStore>(root));
    const WriteReceipt receipt = await(writer.write({weekly, trip, holiday}, u"Zorbel"_s));
    ASSERT_EQ(receipt.createdEventIDs.size(), 3);

    EXPECT_EQ(khalList(u"Zorbel"_s, u"Asia/Shanghai"_s, u"2026-03-01"_s, u"2026-03-31"_s, true),
              "2026-03-03 10:00|2026-03-03 11:00|Weekly review| ⟳| ⏰\n"
              "2026-03-03|2026-03-05|Trip||\n"
              "2026-03-10|2026-03-10|Holiday||");

    // A weekly event written in the zone the process runs in is listed at the same wall-clock
    // time before and after that zone's daylight saving change (25 October in Berlin, 1 November
    // in New York) and in a zone without one.
    for (const auto& [name, first] : {std::pair("America/New_York", QDate(2026, 10, 26)),
                                      std::pair("Europe/Berlin", QDate(2026, 10, 19)),
                                      std::pair("Asia/Shanghai", QDate(2026, 10, 26))}) {
        SCOPED_TRACE(name);
        const ProcessZone zone(name);
        ASSERT_EQ(QTimeZone::systemTimeZoneId(), name);
        const QString calendar = QString::fromLatin1(name).replace(u'/', u'-');
        makeCalendar(calendar, {}, {});
        ExtractedEvent standup = sampleEvent(u"Standup"_s);
        standup.startDate = QDateTime(first, QTime(9, 0), QTimeZone::systemTimeZone()).toUTC();
        standup.endDate = standup.startDate.addSecs(30 * 60);
        standup.recurrence = u"weekly"_s;
        await(store.save(standup, calendar));

        QStringList expected;
        for (int week = 0; week < 3; ++week) {
            const QString day = first.addDays(7 * week).toString(Qt::ISODate);
            expected.append(day + u" 09:00|"_s + day + u" 09:30|Standup| ⟳|"_s);
        }
        EXPECT_EQ(khalList(calendar, QString::fromLatin1(name), first.toString(Qt::ISODate),
                           first.addDays(20).toString(Qt::ISODate), false),
                  expected.join(u'\n').toStdString());
    }
}

// Two readers expand what the store saved for repeats every other week, one up to a last day
// and one for a number of times, across the end of daylight saving in Berlin (25 October):
// every occurrence at the same wall-clock time, the one on the last day included, the count
// kept. khal reads the vdir folder, the Python iCalendar expander the files themselves.
TEST_F(VdirCalendarStoreTest, RepeatsWithAnIntervalAndAnEndExpandAlikeInTwoReaders) {
    if (!QFileInfo(QString(kKhal)).isExecutable()) {
        GTEST_SKIP() << "khal is not installed (scripts/setup)";
    }
    const ProcessZone zone("Europe/Berlin");
    makeCalendar(u"berlin"_s, {}, {});
    const auto fortnightly = [](const QString& title, const QDate& first, const QTime& time) {
        ExtractedEvent event = sampleEvent(title);
        event.startDate = QDateTime(first, time, QTimeZone::systemTimeZone()).toUTC();
        event.endDate = event.startDate.addSecs(30 * 60);
        event.recurrence = u"weekly"_s;
        event.recurrenceInterval = 2;
        return event;
    };
    // Until Monday 9 November: the 09:00 occurrence of that day is the last.
    ExtractedEvent until = fortnightly(u"Until"_s, QDate(2026, 10, 12), QTime(9, 0));
    until.recurrenceEnd = RecurrenceEnd::onDay(QDate(2026, 11, 9));
    // Four times from Tuesday 13 October, late in the evening.
    ExtractedEvent counted = fortnightly(u"Counted"_s, QDate(2026, 10, 13), QTime(23, 15));
    counted.recurrenceEnd = RecurrenceEnd::after(4);
    await(store.save(until, u"berlin"_s));
    await(store.save(counted, u"berlin"_s));

    const QStringList untilDays{u"2026-10-12"_s, u"2026-10-26"_s, u"2026-11-09"_s};
    const QStringList countedDays{u"2026-10-13"_s, u"2026-10-27"_s, u"2026-11-10"_s,
                                  u"2026-11-24"_s};
    QStringList khalExpected;
    QStringList pythonExpected;
    for (const QString& day : untilDays) {
        khalExpected.append(day + u" 09:00|"_s + day + u" 09:30|Until| ⟳|"_s);
        pythonExpected.append(day + u" 09:00 +0"_s + (day < u"2026-10-25"_s ? u'2' : u'1') +
                              u"00 Until"_s);
    }
    for (const QString& day : countedDays) {
        khalExpected.append(day + u" 23:15|"_s + day + u" 23:45|Counted| ⟳|"_s);
        pythonExpected.append(day + u" 23:15 +0"_s + (day < u"2026-10-25"_s ? u'2' : u'1') +
                              u"00 Counted"_s);
    }
    khalExpected.sort();
    pythonExpected.sort();
    EXPECT_EQ(khalList(u"berlin"_s, u"Europe/Berlin"_s, u"2026-10-01"_s, u"2027-03-31"_s, false),
              khalExpected.join(u'\n').toStdString());

    // Each occurrence's local start with its offset, from the first of October for half a year.
    const char* const expand = R"(
import datetime, pathlib, sys, icalendar, recurring_ical_events
lines = []
for path in pathlib.Path(sys.argv[1]).glob("*.ics"):
    calendar = icalendar.Calendar.from_ical(path.read_bytes())
    for event in recurring_ical_events.of(calendar).between((2026, 10, 1), (2027, 4, 1)):
        start = event["DTSTART"].dt.astimezone()
        lines.append(start.strftime("%Y-%m-%d %H:%M %z ") + str(event["SUMMARY"]))
print("\n".join(sorted(lines)))
)";
    QProcess python;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TZ"_s, u"Europe/Berlin"_s);
    python.setProcessEnvironment(environment);
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(expand), root + u"/berlin"_s});
    ASSERT_TRUE(python.waitForFinished(30000)) << "python did not finish";
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
              pythonExpected.join(u'\n'));
}
