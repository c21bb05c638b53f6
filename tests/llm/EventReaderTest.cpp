#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <algorithm>
#include <ctime>

#include "llm/EventReader.h"
#include "testkit/GoldenFolder.h"
#include "testkit/LogCapture.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::ExtractedEvent;

namespace {

/// An event as the expected files write it: instants as local wall-clock time, which is the
/// same in every zone for the times the model writes without an offset.
QJsonObject canonical(const ExtractedEvent& event) {
    const auto local = [](const QDateTime& instant) {
        return instant.toLocalTime().toString(u"yyyy-MM-ddTHH:mm:ss.zzz"_s);
    };
    const auto orNull = [](const auto& value) { return value ? QJsonValue(*value) : QJsonValue(); };
    QJsonObject origins;
    for (auto it = event.fieldOrigins.begin(); it != event.fieldOrigins.end(); ++it) {
        origins.insert(QLatin1String(zorbel::caseName(it.key())), zorbel::rawValue(it.value()));
    }
    QJsonObject json{{u"title"_s, event.title},
                     {u"start"_s, local(event.startDate)},
                     {u"end"_s, local(event.endDate)},
                     {u"location"_s, event.location},
                     {u"notes"_s, event.notes},
                     {u"allDay"_s, event.allDay},
                     {u"reminderMinutes"_s, orNull(event.reminderMinutes)},
                     {u"recurrence"_s, orNull(event.recurrence)},
                     {u"availability"_s, orNull(event.availability)},
                     {u"fieldOrigins"_s, origins}};
    // A repeat's interval and end only when they differ from every N = 1 without end.
    if (event.recurrenceInterval != 1) json[u"recurrenceInterval"_s] = event.recurrenceInterval;
    if (event.recurrenceEnd) {
        json.insert(u"recurrenceEnd"_s,
                    QJsonObject{{u"until"_s, event.recurrenceEnd->until.toString(Qt::ISODate)},
                                {u"count"_s, event.recurrenceEnd->count}});
    }
    return json;
}

// The zone and locale are set before main, ahead of any time or locale use in the process.
const bool g_environment = [] {
    qputenv("TZ", ZORBEL_TEST_TZ);
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("LANG", "de_DE.UTF-8");
    tzset();
    return true;
}();

}  // namespace

// Every reply in replies/ beside its expected events and log codes, and those with explicit
// offsets in replies/zoned/ beside what they give in this zone.
TEST(EventReaderCorpus, EveryReplyGivesItsExpectedEvents) {
    const auto eventsAndLog = [](const QString& path) {
        zorbel::test::LogCapture log;
        QJsonArray events;
        for (const ExtractedEvent& event :
             zorbel::parseEvents(QString::fromUtf8(zorbel::test::readFile(path)))) {
            EXPECT_EQ(event.startDate.timeSpec(), Qt::UTC);
            events.append(canonical(event));
        }
        return QJsonDocument(
                   QJsonObject{{u"events"_s, events},
                               {u"log"_s, QJsonArray::fromStringList(log.failureCodes())}})
            .toJson();
    };
    const QString zone = QStringLiteral(ZORBEL_TEST_TZ).replace(u'/', u'_');
    zorbel::test::GoldenFolder{
        QStringLiteral(ZORBEL_REPLIES_DIR), {u"*.txt"_s}, u".expected.json"_s, 18}
        .check(eventsAndLog);
    zorbel::test::GoldenFolder{
        QStringLiteral(ZORBEL_REPLIES_DIR "/zoned"), {u"*.txt"_s}, u"."_s + zone + u".json"_s, 2}
        .check(eventsAndLog);
}

// Seconds are dropped and a negative half hour keeps its sign.
TEST(EventReaderDates, LocalOffsetIsTheOffsetOfNow) {
    const std::pair<int, const char*> offsets[] = {
        {5 * 3600 + 45 * 60 + 30, "+05:45"}, {0, "+00:00"}, {-(9 * 3600 + 30 * 60), "-09:30"}};
    for (const auto& [seconds, text] : offsets) {
        EXPECT_EQ(ExtractedEvent::offsetText(seconds), QLatin1String(text));
    }
    const bool summer = QDateTime::currentDateTime().isDaylightTime();
    const bool newYork = qstrcmp(ZORBEL_TEST_TZ, "America/New_York") == 0;
    EXPECT_EQ(ExtractedEvent::localOffset(),
              QLatin1String(newYork ? (summer ? "-04:00" : "-05:00") : "+08:00"));
}

// Wall-clock times every half hour from two days before to two days after each change of the
// zone's offset in 1991 and 2026, skipped and repeated hours included, are the instants the zone
// gives them, whether the reply lists them forwards or backwards.
TEST(EventReaderDates, TimesAroundOffsetChangesAreTheZonesInstants) {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    QStringList walls;
    for (const int year : {1991, 2026}) {
        const QDateTime newYear(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
        for (const QTimeZone::OffsetData& change : zone.transitions(newYear, newYear.addYears(1))) {
            // The change's instant as the clock showed it just before, as a plain date and time.
            const QDateTime wall =
                change.atUtc.addSecs(zone.offsetFromUtc(change.atUtc.addSecs(-1)));
            for (int halfHours = -100; halfHours <= 100; ++halfHours) {
                walls.append(wall.addSecs(halfHours * 1800).toString(u"yyyy-MM-ddTHH:mm:ss"_s));
            }
        }
    }
    ASSERT_GE(walls.size(), 2 * 201);
    const auto read = [](const QStringList& times) {
        QJsonArray events;
        for (const QString& time : times) {
            events.append(
                QJsonObject{{u"title"_s, time}, {u"start_time"_s, time}, {u"end_time"_s, time}});
        }
        return zorbel::parseEvents(
            QString::fromUtf8(QJsonDocument(QJsonObject{{u"events"_s, events}}).toJson()));
    };
    QStringList backwards = walls;
    std::reverse(backwards.begin(), backwards.end());
    for (const QStringList& times : {walls, backwards}) {
        const QList<ExtractedEvent> events = read(times);
        ASSERT_EQ(events.size(), times.size());
        for (const ExtractedEvent& event : events) {
            const QDateTime wall = QDateTime::fromString(event.title, Qt::ISODate);
            const QString expected =
                QDateTime(wall.date(), wall.time(), zone).toUTC().toString(Qt::ISODateWithMs);
            EXPECT_EQ(event.startDate.toString(Qt::ISODateWithMs).toStdString(),
                      expected.toStdString())
                << event.title.toStdString();
            EXPECT_EQ(event.endDate, event.startDate) << event.title.toStdString();
        }
    }
}

TEST(EventReaderHostileInput, DeepNestingIsRefusedWithoutACrash) {
    zorbel::test::LogCapture log;
    const QString deep = QString(100000, u'[').prepend(QStringLiteral("{\"events\":")) +
                         QString(100000, u']') + u'}';
    EXPECT_TRUE(zorbel::parseEvents(deep).isEmpty());
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("badJSON")});
}
