#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>

#include "llm/EventReader.h"
#include "testkit/GoldenFolder.h"
#include "testkit/LogCapture.h"
#include "testkit/TempXdg.h"

using zorbel::ExtractedEvent;

namespace {

QJsonValue optionalJson(const std::optional<QString>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

/// An event as the expected files write it: instants as local wall-clock time, which is the
/// same in every zone for the times the model writes without an offset.
QJsonObject canonical(const ExtractedEvent& event) {
    const auto local = [](const QDateTime& instant) {
        return instant.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    };
    QJsonObject origins;
    for (auto it = event.fieldOrigins.begin(); it != event.fieldOrigins.end(); ++it) {
        origins.insert(QLatin1String(zorbel::caseName(it.key())), zorbel::rawValue(it.value()));
    }
    QJsonObject json{
        {QStringLiteral("title"), event.title},
        {QStringLiteral("start"), local(event.startDate)},
        {QStringLiteral("end"), local(event.endDate)},
        {QStringLiteral("location"), event.location},
        {QStringLiteral("notes"), event.notes},
        {QStringLiteral("allDay"), event.allDay},
        {QStringLiteral("reminderMinutes"),
         event.reminderMinutes ? QJsonValue(*event.reminderMinutes) : QJsonValue()},
        {QStringLiteral("recurrence"), optionalJson(event.recurrence)},
        {QStringLiteral("availability"), optionalJson(event.availability)},
        {QStringLiteral("fieldOrigins"), origins},
    };
    // A repeat's interval and end only when they differ from every N = 1 without end.
    if (event.recurrenceInterval != 1) {
        json.insert(QStringLiteral("recurrenceInterval"), event.recurrenceInterval);
    }
    if (event.recurrenceEnd) {
        json.insert(
            QStringLiteral("recurrenceEnd"),
            QJsonObject{{QStringLiteral("until"), event.recurrenceEnd->until.toString(Qt::ISODate)},
                        {QStringLiteral("count"), event.recurrenceEnd->count}});
    }
    return json;
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

bool inNewYork() {
    return qstrcmp(ZORBEL_TEST_TZ, "America/New_York") == 0;
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

// Every reply in replies/ beside its expected events and log codes.
TEST(EventReaderCorpus, EveryReplyGivesItsExpectedEvents) {
    const zorbel::test::GoldenFolder replies{QStringLiteral(ZORBEL_REPLIES_DIR),
                                             {QStringLiteral("*.txt")},
                                             QStringLiteral(".expected.json"),
                                             18};
    replies.check([](const QString& path) {
        zorbel::test::LogCapture log;
        QJsonArray events;
        for (const ExtractedEvent& event :
             zorbel::parseEvents(QString::fromUtf8(zorbel::test::readFile(path)))) {
            events.append(canonical(event));
        }
        return QJsonDocument(QJsonObject{{QStringLiteral("events"), events},
                                         {QStringLiteral("log"),
                                          QJsonArray::fromStringList(log.failureCodes())}})
            .toJson();
    });
}

// Times without an offset, "Z" ones included, are the wall clock of their own date (a golden
// case); an explicit offset holds in every zone.
TEST(EventReaderDates, ExplicitOffsetsHoldInEveryZone) {
    const std::pair<const char*, QDateTime> rows[] = {
        {"2026-09-02T14:00:00-05:00", utc(2026, 9, 2, 19, 0)},
        {"2026-09-02T15:00:00+05:45", utc(2026, 9, 2, 9, 15)},
        {"2026-09-02T14:00:00.250+08:00", utc(2026, 9, 2, 6, 0, 0, 250)},
        {"2026-09-02T23:59:59-00:00", utc(2026, 9, 2, 23, 59, 59)},
    };
    for (const auto& [written, instant] : rows) {
        const auto events = zorbel::parseEvents(
            QStringLiteral(R"({"title":"x","start_time":"%1","end_time":"2099-01-01T00:00:00"})")
                .arg(QLatin1String(written)));
        ASSERT_EQ(events.size(), 1) << written;
        EXPECT_EQ(events[0].startDate, instant) << written;
        EXPECT_EQ(events[0].startDate.timeSpec(), Qt::UTC);
    }
}

TEST(EventReaderDates, LocalOffsetIsTheOffsetOfNow) {
    const std::pair<int, const char*> offsets[] = {{8 * 3600, "+08:00"},
                                                   {-5 * 3600, "-05:00"},
                                                   {5 * 3600 + 45 * 60 + 30, "+05:45"},
                                                   {0, "+00:00"},
                                                   {-(9 * 3600 + 30 * 60), "-09:30"}};
    for (const auto& [seconds, text] : offsets) {
        EXPECT_EQ(ExtractedEvent::offsetText(seconds), QLatin1String(text));
    }
    const bool summer = QDateTime::currentDateTime().isDaylightTime();
    const char* expected = inNewYork() ? (summer ? "-04:00" : "-05:00") : "+08:00";
    EXPECT_EQ(ExtractedEvent::localOffset(), QLatin1String(expected));
}

// A repeat's last day given as a date-time with an offset is the local date of that instant.
TEST(EventReaderDates, ARepeatEndingAtAnInstantEndsOnItsLocalDate) {
    const auto events = zorbel::parseEvents(QStringLiteral(
        R"({"title":"x","start_time":"2026-12-07T09:00:00","end_time":"2026-12-07T10:00:00",)"
        R"("recurrence":"weekly","recurrence_until":"2027-01-31T09:00:00+08:00"})"));
    ASSERT_EQ(events.size(), 1);
    ASSERT_TRUE(events[0].recurrenceEnd);
    EXPECT_EQ(events[0].recurrenceEnd->until,
              inNewYork() ? QDate(2027, 1, 30) : QDate(2027, 1, 31));
    EXPECT_EQ(events[0].recurrenceEnd->count, 0);
}

TEST(EventReaderHostileInput, DeepNestingIsRefusedWithoutACrash) {
    zorbel::test::LogCapture log;
    const QString deep = QString(100000, u'[').prepend(QStringLiteral("{\"events\":")) +
                         QString(100000, u']') + u'}';
    EXPECT_TRUE(zorbel::parseEvents(deep).isEmpty());
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("badJSON")});
}
