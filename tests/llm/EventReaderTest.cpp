#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>

#include "llm/EventReader.h"
#include "llm/LLMClient.h"
#include "testkit/GoldenFolder.h"
#include "testkit/LogCapture.h"

using zorbel::ExtractedEvent;
using zorbel::FieldOrigin;
using zorbel::LLMClient;

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
    return QJsonObject{
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
}

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QList<ExtractedEvent> parse(const char* reply) {
    return zorbel::parseEvents(QString::fromUtf8(reply));
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
                                             9};
    replies.check([](const QString& path) {
        zorbel::test::LogCapture log;
        QJsonArray events;
        for (const ExtractedEvent& event : zorbel::parseEvents(readFile(path))) {
            events.append(canonical(event));
        }
        return QJsonDocument(QJsonObject{{QStringLiteral("events"), events},
                                         {QStringLiteral("log"),
                                          QJsonArray::fromStringList(log.failureCodes())}})
            .toJson();
    });
}

TEST(EventReaderDates, ZuluAndZonelessTimesAreLocalWallClockOfTheirOwnDate) {
    // Summer and winter dates, read in December: in New York each keeps its own offset
    // (-04:00 in July, -05:00 in December); Shanghai is +08:00 all year.
    const auto events = parse(R"({"events":[
        {"title":"summer","start_time":"2026-07-10T09:00:00","end_time":"2026-07-10T10:00:00Z"},
        {"title":"winter","start_time":"2026-12-10T09:00:00Z","end_time":"2026-12-10T10:00:00"}]})");
    ASSERT_EQ(events.size(), 2);
    if (inNewYork()) {
        EXPECT_EQ(events[0].startDate, utc(2026, 7, 10, 13, 0));
        EXPECT_EQ(events[0].endDate, utc(2026, 7, 10, 14, 0));
        EXPECT_EQ(events[1].startDate, utc(2026, 12, 10, 14, 0));
        EXPECT_EQ(events[1].endDate, utc(2026, 12, 10, 15, 0));
    } else {
        EXPECT_EQ(events[0].startDate, utc(2026, 7, 10, 1, 0));
        EXPECT_EQ(events[0].endDate, utc(2026, 7, 10, 2, 0));
        EXPECT_EQ(events[1].startDate, utc(2026, 12, 10, 1, 0));
        EXPECT_EQ(events[1].endDate, utc(2026, 12, 10, 2, 0));
    }
    EXPECT_EQ(events[0].startDate.timeSpec(), Qt::UTC);
}

TEST(EventReaderDates, ExplicitOffsetsAreKeptWhateverTheZone) {
    const auto events = parse(R"({"events":[
        {"title":"a","start_time":"2026-09-02T14:00:00-05:00","end_time":"2026-09-02T15:00:00+05:45"},
        {"title":"b","start_time":"2026-09-02T14:00:00.250+08:00","end_time":"2026-09-02T23:59:59-00:00"}]})");
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].startDate, utc(2026, 9, 2, 19, 0));
    EXPECT_EQ(events[0].endDate, utc(2026, 9, 2, 9, 15));
    EXPECT_EQ(events[1].startDate, utc(2026, 9, 2, 6, 0, 0, 250));
    EXPECT_EQ(events[1].endDate, utc(2026, 9, 2, 23, 59, 59));
}

TEST(EventReaderDates, LoosePrefixesAndImpossibleDatesAreRefused) {
    const char* const refused[] = {
        "2026-09-02",                  // date only
        "2026-09-02T14:00",            // no seconds
        "2026-09-02 14:00:00",         // space instead of T
        "2026-9-2T14:00:00",           // short fields
        "2026-02-30T14:00:00",         // no such day
        "2026-09-02T24:00:00",         // no such hour
        "2026-09-02T14:00:60",         // leap second
        "2026-09-02T14:00:00+0800",    // offset without colon
        "2026-09-02T14:00:00+8:00",    // short offset
        "2026-09-02T14:00:00+24:00",   // offset out of range
        "2026-09-02T14:00:00.",        // fraction without digits
        "2026-09-02T14:00:00ZZ",       // two zones
        "2026-09-02T14:00:00z",        // lower-case z is not read as a zone
        "２０２６-09-02T14:00:00",     // full-width digits
        "2026-09-02T14:00:00+08:00 ",  // trailing space
        "T",
        "Z",
    };
    for (const char* start : refused) {
        zorbel::test::LogCapture log;
        const QString reply = QStringLiteral(R"({"title":"x","start_time":"%1","end_time":"%1"})")
                                  .arg(QString::fromUtf8(start));
        EXPECT_TRUE(zorbel::parseEvents(reply).isEmpty()) << start;
        EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("eventItemParse")}) << start;
    }
}

TEST(EventReaderDates, LocalOffsetIsTheOffsetOfNow) {
    EXPECT_EQ(ExtractedEvent::offsetText(8 * 3600), QStringLiteral("+08:00"));
    EXPECT_EQ(ExtractedEvent::offsetText(-5 * 3600), QStringLiteral("-05:00"));
    EXPECT_EQ(ExtractedEvent::offsetText(5 * 3600 + 45 * 60 + 30), QStringLiteral("+05:45"));
    EXPECT_EQ(ExtractedEvent::offsetText(0), QStringLiteral("+00:00"));
    EXPECT_EQ(ExtractedEvent::offsetText(-(9 * 3600 + 30 * 60)), QStringLiteral("-09:30"));
    const QDateTime now = QDateTime::currentDateTime();
    const bool summer = now.isDaylightTime();
    const char* expected = inNewYork() ? (summer ? "-04:00" : "-05:00") : "+08:00";
    EXPECT_EQ(ExtractedEvent::localOffset(), QLatin1String(expected));
}

TEST(EventReaderHostileInput, NeverCrashesAndGivesNoValueForAbsurdNumbers) {
    const char* const reminders[] = {"1e300",
                                     "-1e300",
                                     "-9223372036854775808",
                                     "-9223372036854775807",
                                     "35791395",
                                     "40321",
                                     "9223372036854775808",
                                     "1e19",
                                     "\"99999999999999999999\"",
                                     "\"-9223372036854775808\"",
                                     "\"NaN\"",
                                     "\"\"",
                                     "[]",
                                     "{}"};
    for (const char* value : reminders) {
        const QString reply =
            QStringLiteral(R"({"title":"x","start_time":"2026-12-07T09:00:00",)"
                           R"("end_time":"2026-12-07T10:00:00","reminder_minutes":%1})")
                .arg(QString::fromUtf8(value));
        const auto events = zorbel::parseEvents(reply);
        ASSERT_EQ(events.size(), 1) << value;
        EXPECT_FALSE(events[0].reminderMinutes.has_value()) << value;
    }
    const auto longest = parse(R"({"title":"a\u001b]0;x\u0007\r\nb\u009b\u007f","location":"\u0001",
        "start_time":"2026-12-07T09:00:00","end_time":"2026-12-07T10:00:00",
        "reminder_minutes":-40320})");
    ASSERT_EQ(longest.size(), 1);
    EXPECT_EQ(longest[0].reminderMinutes, zorbel::maxReminderMinutes);
    EXPECT_EQ(longest[0].title, QStringLiteral("a]0;x\nb"));
    EXPECT_EQ(longest[0].location, QString());
    EXPECT_TRUE(parse(R"({"title":"\u0000\u0001","start_time":"2026-12-07T09:00:00",
        "end_time":"2026-12-07T10:00:00"})")
                    .isEmpty());

    zorbel::test::LogCapture log;
    const QString deep = QString(100000, u'[').prepend(QStringLiteral("{\"events\":")) +
                         QString(100000, u']') + u'}';
    EXPECT_TRUE(zorbel::parseEvents(deep).isEmpty());
    const QByteArray invalidUtf8(
        "{\"events\":[{\"title\":\"\xff\xfe\xc0\",\"start_time\":"
        "\"2026-12-07T09:00:00\",\"end_time\":\"2026-12-07T10:00:00\"}]}");
    const auto replaced = zorbel::parseEvents(QString::fromUtf8(invalidUtf8));
    ASSERT_EQ(replaced.size(), 1);
    EXPECT_FALSE(replaced[0].title.isEmpty());
    EXPECT_TRUE(zorbel::parseEvents(QString()).isEmpty());
    EXPECT_TRUE(zorbel::parseEvents(QStringLiteral("{")).isEmpty());
    EXPECT_TRUE(zorbel::parseEvents(QStringLiteral("}{")).isEmpty());
    EXPECT_TRUE(zorbel::parseEvents(QStringLiteral("{}")).isEmpty());
    EXPECT_EQ(log.failureCodes(), QStringList({QStringLiteral("badJSON"), QStringLiteral("noJSON"),
                                               QStringLiteral("noJSON"), QStringLiteral("noJSON"),
                                               QStringLiteral("missingEvents")}));
}

TEST(EventReader, SourceTextIsEmptyAndOrderIsKept) {
    QString reply = QStringLiteral(R"({"events":[)");
    for (int i = 0; i < 30; ++i) {
        if (i) reply += u',';
        reply += QStringLiteral(R"({"title":"e%1","start_time":"2026-12-07T09:00:00",)"
                                R"("end_time":"2026-12-07T10:00:00"})")
                     .arg(29 - i);
    }
    reply += QStringLiteral("]}");
    const auto events = zorbel::parseEvents(reply);
    ASSERT_EQ(events.size(), 30);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(events[i].title, QStringLiteral("e%1").arg(29 - i));
        EXPECT_TRUE(events[i].sourceText.isEmpty());
    }
    EXPECT_EQ(events[0], events[0]);
    EXPECT_NE(events[0], events[1]);
}
