#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cstdlib>

#include "calendar/CalendarWriter.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/EventLoop.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::localTime;
using zorbel::test::sampleEvent;

namespace {

// khal and this process must agree on the zone; it is set before main.
const test::ProcessZone kZone("Asia/Shanghai");

class VdirCalendarStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root = dir.path() + u"/calendars"_s;
    VdirCalendarStore store{root};

    void makeCalendar(const QString& name, const QByteArray& displayName = {},
                      const QByteArray& color = {}) {
        ASSERT_TRUE(QDir().mkpath(root + u'/' + name));
        if (!displayName.isEmpty())
            test::writeFile(root + u'/' + name + u"/displayname"_s, displayName);
        if (!color.isEmpty()) test::writeFile(root + u'/' + name + u"/color"_s, color);
    }
    QStringList files(const QString& calendar) const {
        return QDir(root + u'/' + calendar)
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    /// khal's listing of `calendar` from `from` to `to` as sorted "start|end|title|repeat|alarm"
    /// lines, one a day an event falls on (one an event when `once`), read and shown in `zone`.
    QString khalList(const QString& calendar, const QString& zone, const QDate& from,
                     const QDate& to, bool once = false) {
        const QString config = dir.filePath(u"khal.conf"_s);
        test::writeFile(config, QStringLiteral("[calendars]\n[[z]]\npath = %1/%2\n[locale]\n"
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
                              from.toString(Qt::ISODate),
                              to.toString(Qt::ISODate)};
        if (once) arguments.insert(3, u"-o"_s);
        khal.start(kKhal, arguments);
        EXPECT_TRUE(khal.waitForFinished(30000)) << "khal did not finish";
        QStringList events =
            QString::fromUtf8(khal.readAllStandardOutput()).split(u'\n').filter(u"|"_s);
        for (QString& line : events) line = line.simplified();
        events.sort();
        if (events.isEmpty()) ADD_FAILURE() << khal.readAllStandardError().toStdString();
        return events.join(u'\n');
    }

    /// A second expander of repeat rules (python3-recurring-ical-events): each occurrence from
    /// `from` up to `to` as "DAY HH:MM +ZZZZ TITLE", in `zone`.
    QString pythonList(const QString& calendar, const QString& zone, const QDate& from,
                       const QDate& to) {
        const char* const expand = R"(
import pathlib, sys, icalendar, recurring_ical_events
f, t = (tuple(int(x) for x in a.split("-")) for a in sys.argv[2:4])
lines = []
for path in pathlib.Path(sys.argv[1]).glob("*.ics"):
    calendar = icalendar.Calendar.from_ical(path.read_bytes())
    for event in recurring_ical_events.of(calendar).between(f, t):
        start = event["DTSTART"].dt.astimezone()
        lines.append(start.strftime("%Y-%m-%d %H:%M %z ") + str(event["SUMMARY"]))
print("\n".join(sorted(lines)))
)";
        QProcess python;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TZ"_s, zone);
        python.setProcessEnvironment(environment);
        python.start(u"/usr/bin/python3"_s,
                     {u"-c"_s, QString::fromUtf8(expand), root + u'/' + calendar,
                      from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
        EXPECT_TRUE(python.waitForFinished(30000)) << "python did not finish";
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
    }
    static constexpr QLatin1StringView kKhal{"/usr/bin/khal"};
};

}  // namespace

TEST_F(VdirCalendarStoreTest, AnEmptyRootIsMadeAndGetsTheZorbelCalendarOnce) {
    EXPECT_TRUE(await(store.hasFullAccess()));
    const QList<CalendarChoice> calendars = await(store.writableCalendars());
    EXPECT_EQ(calendars, (QList<CalendarChoice>{{u"Zorbel"_s, u"Zorbel"_s, u"#888888"_s}}));
    EXPECT_EQ(test::readFile(root + u"/Zorbel/displayname"_s), "Zorbel");
    EXPECT_EQ(await(store.writableCalendars()), calendars);

    test::writeFile(dir.path() + u"/file"_s, "x");
    VdirCalendarStore blocked(dir.path() + u"/file/calendars"_s);
    EXPECT_FALSE(await(blocked.hasFullAccess()));
    EXPECT_THROW(await(blocked.writableCalendars()), CalendarStoreError);
}

TEST_F(VdirCalendarStoreTest, ListsWritableCalendarFoldersInNameOrderWithTitlesAndColours) {
    makeCalendar(u"b-work"_s, "Work\n", "#ff7f00cc\n");
    makeCalendar(u"a-home"_s, {}, "not a colour");
    makeCalendar(u".hidden"_s, "Hidden", {});
    makeCalendar(u"c-subscribed"_s);
    QFile::setPermissions(root + u"/c-subscribed"_s, QFile::ReadOwner | QFile::ExeOwner);
    QList<CalendarChoice> expected{{u"a-home"_s, u"a-home"_s, u"#888888"_s},
                                   {u"b-work"_s, u"Work"_s, u"#FF7F00"_s}};
    // Root may write into read-only folders.
    if (::geteuid() == 0) expected.append({u"c-subscribed"_s, u"c-subscribed"_s, u"#888888"_s});
    EXPECT_EQ(await(store.writableCalendars()), expected);
    EXPECT_FALSE(QFileInfo::exists(root + u"/Zorbel"_s));
}

TEST_F(VdirCalendarStoreTest, SavesOneNewUidFilePerEventIntoAnExistingCalendarOnly) {
    makeCalendar(u"work"_s);
    const QString uid = await(store.save(sampleEvent(), u"work"_s)).uid;
    EXPECT_EQ(files(u"work"_s), QStringList{uid + u".ics"_s});
    EXPECT_TRUE(
        test::readFile(root + u"/work/"_s + uid + u".ics"_s).contains("UID:" + uid.toUtf8()));
    EXPECT_NE(await(store.save(sampleEvent(), u"work"_s)).uid, uid);
    for (const QString& id : {u"gone"_s, u".."_s, QString(), u"work/.."_s}) {
        const auto error =
            test::thrown<CalendarStoreError>([&] { await(store.save(sampleEvent(), id)); });
        EXPECT_TRUE(error && error->kind() == CalendarStoreError::Kind::notFound)
            << id.toStdString();
    }
    EXPECT_EQ(files(u"work"_s).size(), 2);

    // A file is never replaced and no temporary is left.
    const QString path = root + u"/work/event.ics"_s;
    EXPECT_TRUE(VdirCalendarStore::writeNewFile(path, "first"));
    EXPECT_FALSE(VdirCalendarStore::writeNewFile(path, "second"));
    EXPECT_EQ(test::readFile(path), "first");
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
    EXPECT_EQ(
        khalList(u"Zorbel"_s, u"Asia/Shanghai"_s, QDate(2026, 3, 1), QDate(2026, 3, 31), true),
        u"2026-03-03 10:00|2026-03-03 11:00|Weekly review| ⟳| ⏰\n"
        "2026-03-03|2026-03-05|Trip||\n"
        "2026-03-10|2026-03-10|Holiday||"_s);

    // Repeats written in the zone the process runs in keep their wall-clock time across that
    // zone's daylight saving change (25 October in Berlin, 1 November in New York) and in a zone
    // without one: weekly without an end, every other week up to a last day (listed too), and
    // four times late in the evening.
    for (const auto& row : {std::pair("America/New_York", QDate(2026, 10, 26)),
                            std::pair("Europe/Berlin", QDate(2026, 10, 19)),
                            std::pair("Asia/Shanghai", QDate(2026, 10, 26))}) {
        const char* const name = row.first;  // named: clang 14 lambdas cannot capture bindings
        const QDate first = row.second;
        SCOPED_TRACE(name);
        const test::ProcessZone zone(name);
        const QString calendar = QString::fromLatin1(name).replace(u'/', u'-');
        makeCalendar(calendar);
        QStringList expected;
        QStringList expanded;
        const auto repeat = [&](const QString& title, int from, const QTime& time, int interval,
                                std::optional<RecurrenceEnd> end, int listed) {
            ExtractedEvent event = sampleEvent(title);
            event.startDate = QDateTime(first.addDays(from), time).toUTC();
            event.endDate = event.startDate.addSecs(30 * 60);
            event.recurrence = u"weekly"_s;
            event.recurrenceInterval = interval;
            event.recurrenceEnd = end;
            await(store.save(event, calendar));
            for (int i = 0; i < listed; ++i) {
                const QString day = first.addDays(from + 7 * interval * i).toString(Qt::ISODate);
                expected.append(QStringLiteral("%1 %2|%1 %3|%4| ⟳|")
                                    .arg(day, time.toString(u"HH:mm"_s),
                                         time.addSecs(30 * 60).toString(u"HH:mm"_s), title));
                const int offset =
                    QDateTime(QDate::fromString(day, Qt::ISODate), time, QTimeZone(name))
                        .offsetFromUtc();
                expanded.append(QString::asprintf("%s %s %c%02d%02d ", qPrintable(day),
                                                  qPrintable(time.toString(u"HH:mm"_s)),
                                                  offset < 0 ? '-' : '+', std::abs(offset) / 3600,
                                                  std::abs(offset) % 3600 / 60) +
                                title);
            }
        };
        repeat(u"Standup"_s, 0, QTime(9, 0), 1, std::nullopt, 7);
        repeat(u"Until"_s, 0, QTime(8, 0), 2, RecurrenceEnd::onDay(first.addDays(28)), 3);
        repeat(u"Counted"_s, 1, QTime(23, 15), 2, RecurrenceEnd::after(4), 4);
        expected.sort();
        expanded.sort();
        EXPECT_EQ(khalList(calendar, QString::fromLatin1(name), first, first.addDays(44)),
                  expected.join(u'\n'));
        EXPECT_EQ(
            pythonList(calendar, QString::fromLatin1(name), first, first.addDays(44)).toStdString(),
            expanded.join(u'\n').toStdString());
    }
}
