#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimeZone>
#include <ctime>

using namespace Qt::Literals::StringLiterals;

#include "core/FileExtractionError.h"
#include "rules/RuleBasedExtractor.h"
#include "rules/RuleEngine.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"

using zorbel::EventField;
using zorbel::ExtractedEvent;
using zorbel::FieldOrigin;
using zorbel::RuleEngine;

// Readable failures for the Qt types compared below.
void PrintTo(const QDate& date, std::ostream* out) {
    *out << date.toString(Qt::ISODate).toStdString();
}
void PrintTo(const QTime& time, std::ostream* out) {
    *out << time.toString(Qt::ISODate).toStdString();
}
void PrintTo(const QDateTime& instant, std::ostream* out) {
    *out << instant.toString(Qt::ISODateWithMs).toStdString();
}

namespace {

// The zone and locale are set before main, ahead of any time or locale use in the process.
const bool g_environment = [] {
    qputenv("TZ", ZORBEL_TEST_TZ);
    qputenv("LC_ALL", "C.UTF-8");
    tzset();
    return true;
}();

QTimeZone testZone() {
    return QTimeZone(QByteArray(ZORBEL_TEST_TZ));
}

/// `wallTime` ("2026-12-31T10:00:00") in the test zone.
QDateTime localAt(const QString& wallTime) {
    QDateTime time = QDateTime::fromString(wallTime, Qt::ISODate);
    time.setTimeZone(testZone());
    return time;
}

QList<ExtractedEvent> read(const QString& text, const char* now) {
    return RuleEngine::extract(text, localAt(QString::fromLatin1(now)), testZone());
}

/// An event as the expected files write it: instants as wall-clock time of the test zone.
QJsonObject canonical(const ExtractedEvent& event) {
    const auto local = [](const QDateTime& instant) {
        return instant.toTimeZone(testZone()).toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
    };
    QJsonObject origins;
    for (auto it = event.fieldOrigins.begin(); it != event.fieldOrigins.end(); ++it) {
        origins.insert(QLatin1String(zorbel::caseName(it.key())), zorbel::rawValue(it.value()));
    }
    QJsonObject object{{QStringLiteral("title"), event.title},
                       {QStringLiteral("start"), local(event.startDate)},
                       {QStringLiteral("end"), local(event.endDate)},
                       {QStringLiteral("origins"), origins}};
    if (event.allDay) object.insert(QStringLiteral("allDay"), true);
    if (!event.location.isEmpty()) object.insert(QStringLiteral("location"), event.location);
    if (event.reminderMinutes) object.insert(QStringLiteral("reminder"), *event.reminderMinutes);
    if (event.recurrence) object.insert(QStringLiteral("recurrence"), *event.recurrence);
    return object;
}

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

/// The checks every event of every text must pass.
void expectSound(const QList<ExtractedEvent>& events) {
    for (const ExtractedEvent& event : events) {
        ASSERT_TRUE(event.startDate.isValid());
        ASSERT_TRUE(event.endDate.isValid());
        EXPECT_LT(event.startDate, event.endDate) << event.title.toStdString();
        EXPECT_FALSE(event.title.isEmpty());
        EXPECT_LE(event.title.size(), 40);
        EXPECT_EQ(event.startDate.timeSpec(), Qt::UTC);
        EXPECT_TRUE(event.fieldOrigins.contains(EventField::startDate));
        EXPECT_TRUE(event.fieldOrigins.contains(EventField::endDate));
        EXPECT_GE(event.reminderMinutes.value_or(0), 0);
    }
}

}  // namespace

// Every text in golden/ beside its expected events. An expected file holds the reference
// instant ("now", wall-clock time of the zone under test) and the events; a zone whose events
// differ (times written with a zone of their own) has its own list under the zone's name. A
// mismatch writes NAME.fail (what the rules gave) into the working folder and prints both.
TEST(RuleEngineGolden, EveryTextGivesItsExpectedEvents) {
    const QDir dir(QStringLiteral(ZORBEL_GOLDEN_DIR));
    const QStringList texts = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    ASSERT_GE(texts.size(), 10);
    for (const QString& name : texts) {
        const QString base = name.chopped(4);
        SCOPED_TRACE(base.toStdString());
        const QJsonObject expected =
            QJsonDocument::fromJson(
                readFile(dir.filePath(base + QStringLiteral(".expected.json"))).toUtf8())
                .object();
        ASSERT_TRUE(expected.contains(QStringLiteral("now"))) << "missing or broken expected file";
        const QString zoneKey = QStringLiteral(ZORBEL_TEST_TZ);
        const QJsonArray wanted = expected.value(zoneKey).isArray()
                                      ? expected.value(zoneKey).toArray()
                                      : expected.value(QStringLiteral("events")).toArray();
        const QList<ExtractedEvent> events = RuleEngine::extract(
            readFile(dir.filePath(name)), localAt(expected.value(QStringLiteral("now")).toString()),
            testZone());
        expectSound(events);
        QJsonArray actual;
        for (const ExtractedEvent& event : events) actual.append(canonical(event));
        if (actual != wanted) {
            QFile fail(base + QStringLiteral(".fail"));
            if (fail.open(QIODevice::WriteOnly)) fail.write(QJsonDocument(actual).toJson());
            ADD_FAILURE() << "expected:\n"
                          << QJsonDocument(wanted).toJson().toStdString() << "got:\n"
                          << QJsonDocument(actual).toJson().toStdString();
        }
    }
}

TEST(RuleEngineDays, WeekdaysAndMissingYearsNeverFallInThePast) {
    // Wednesday 9 December 2026.
    const auto at = [](const char* text) {
        const auto events = read(QString::fromUtf8(text), "2026-12-09T18:00:00");
        return events.isEmpty() ? QDate() : events.first().startDate.toTimeZone(testZone()).date();
    };
    EXPECT_EQ(at("周三 例会"), QDate(2026, 12, 9));
    EXPECT_EQ(at("Monday sync"), QDate(2026, 12, 14));
    EXPECT_EQ(at("周二 例会"), QDate(2026, 12, 15));
    EXPECT_EQ(at("下周三 例会"), QDate(2026, 12, 16));
    EXPECT_EQ(at("下下周一 例会"), QDate(2026, 12, 21));
    EXPECT_EQ(at("next Friday demo"), QDate(2026, 12, 18));
    EXPECT_EQ(at("12月8日 复盘"), QDate(2027, 12, 8));
    EXPECT_EQ(at("12月9日 复盘"), QDate(2026, 12, 9));
    EXPECT_EQ(at("2/29 leap"), QDate(2028, 2, 29));
    EXPECT_EQ(at("25/12 dinner"), QDate(2026, 12, 25));
    EXPECT_EQ(at("10/12 会议"), QDate(2027, 10, 12));  // month first, as Chinese writes it
}

TEST(RuleEngineDays, LunarHolidaysFollowTheChineseCalendar) {
    const auto at = [](const char* text, const char* now) {
        const auto events = read(QString::fromUtf8(text), now);
        return events.isEmpty() ? QDate() : events.first().startDate.toTimeZone(testZone()).date();
    };
    EXPECT_EQ(at("春节", "2026-01-10T09:00:00"), QDate(2026, 2, 17));
    EXPECT_EQ(at("春节", "2027-06-01T09:00:00"), QDate(2028, 1, 26));
    EXPECT_EQ(at("元宵节", "2027-06-01T09:00:00"), QDate(2028, 2, 9));
    EXPECT_EQ(at("端午节", "2026-05-01T09:00:00"), QDate(2026, 6, 19));
    EXPECT_EQ(at("中秋节", "2026-05-01T09:00:00"), QDate(2026, 9, 25));
    EXPECT_EQ(at("中秋节", "2026-12-06T09:00:00"), QDate(2027, 9, 15));
}

TEST(RuleEngineTimes, ChineseAndEnglishClockForms) {
    const std::pair<const char*, QTime> cases[] = {
        {"明天下午3点 a", QTime(15, 0)},         {"明天下午三点半 a", QTime(15, 30)},
        {"明天晚上7点45 a", QTime(19, 45)},      {"明天上午十点一刻 a", QTime(10, 15)},
        {"明天上午十一点三刻 a", QTime(11, 45)}, {"明天中午12点 a", QTime(12, 0)},
        {"明天中午1点 a", QTime(13, 0)},         {"明天凌晨2点 a", QTime(2, 0)},
        {"明天15点30分 a", QTime(15, 30)},       {"明天 二十三点五十九分 a", QTime(23, 59)},
        {"tomorrow 3:30 p.m. a", QTime(15, 30)}, {"tomorrow 12am a", QTime(0, 0)},
        {"tomorrow midnight a", QTime(0, 0)},
    };
    for (const auto& [text, time] : cases) {
        const auto events = read(QString::fromUtf8(text), "2026-12-06T09:00:00");
        ASSERT_EQ(events.size(), 1) << text;
        EXPECT_FALSE(events.first().allDay) << text;
        EXPECT_EQ(events.first().startDate.toTimeZone(testZone()).time(), time) << text;
    }
}

TEST(RuleEngineTimes, ANumberOnTheNextLineIsNotPartOfTheTime) {
    const auto events = read(QStringLiteral("明天下午3点\n30人参加"), "2026-12-06T09:00:00");
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.first().startDate.toTimeZone(testZone()).time(), QTime(15, 0));
}

TEST(RuleEngineTimes, BareHourIsGuessedAfternoonAndSaysSo) {
    const auto events = read(QStringLiteral("明天3点开会"), "2026-12-06T09:00:00");
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.first().startDate.toTimeZone(testZone()).time(), QTime(15, 0));
    EXPECT_EQ(events.first().fieldOrigins.value(EventField::startDate), FieldOrigin::inferred);
    EXPECT_EQ(events.first().fieldOrigins.value(EventField::endDate), FieldOrigin::defaulted);
}

TEST(RuleEngineZones, ZonedTimesAreTheSameInstantEverywhere) {
    const QDateTime utc(QDate(2026, 7, 10), QTime(19, 0), Qt::UTC);
    for (const char* text :
         {"2026-07-10 15:00 EDT call", "2026-07-10 3pm ET call", "2026-07-10 12:00 PT call",
          "2026-07-10 20:00 BST call", "2026-07-10 19:00 UTC call", "2026-07-10 GMT-4 15:00 call",
          "2026-07-11 (UTC+08:00) 03:00 call", "2026年7月11日北京时间凌晨3点 call",
          "2026-07-10 07:00 AoE call"}) {
        SCOPED_TRACE(text);
        const auto events = read(QString::fromUtf8(text), "2026-07-01T09:00:00");
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.first().startDate, utc);
    }
}

TEST(RuleEngineZones, ZonelessTimesKeepTheirWallClockAcrossDaylightSaving) {
    // New York and London change in March; the wall-clock time holds on both sides.
    for (const char* date : {"2027-03-13", "2027-03-15", "2027-03-27", "2027-03-29"}) {
        const auto events = read(QString::fromLatin1(date) + QStringLiteral(" 09:00 standup"),
                                 "2027-03-01T09:00:00");
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.first().startDate.toTimeZone(testZone()).time(), QTime(9, 0)) << date;
    }
}

TEST(RuleEngineInput, TextsWithoutEventsGiveNone) {
    for (const QString& text :
         {QString(), QStringLiteral("   \n\n"), QStringLiteral("谢谢大家的配合 🙏"),
          QStringLiteral("Version 2.3.1 fixes 14 bugs; see issue #12."),
          QStringLiteral("在一点上我们意见一致")}) {
        EXPECT_TRUE(read(text, "2026-12-06T09:00:00").isEmpty()) << text.toStdString();
    }
}

TEST(RuleEngineInput, InvalidReferenceGivesNothingRatherThanGuessing) {
    EXPECT_TRUE(
        RuleEngine::extract(QStringLiteral("明天下午3点"), QDateTime(), testZone()).isEmpty());
}

// Random mixes of the words the rules read, with emoji, other scripts and broken pieces: no
// crash, and every event is whole and ends after it starts.
TEST(RuleEngineProperties, AnyMixOfWordsGivesSoundEvents) {
    const QStringList tokens = {
        u"明天"_s,     u"下午"_s,   u"3点"_s,        u"半"_s,       u"到"_s,          u"12月"_s,
        u"10日"_s,     u"至"_s,     u"下下周一"_s,   u"十点一刻"_s, u"\n"_s,          u"。"_s,
        u"15:00"_s,    u"-"_s,      u"16:00"_s,      u"pm"_s,       u"Dec"_s,         u"10"_s,
        u"–"_s,        u"12"_s,     u"EST"_s,        u"UTC+8"_s,    u"(GMT+08:00)"_s, u"AoE"_s,
        u"北京时间"_s, u"😀"_s,      u"Привет"_s,     u"at"_s,       u"Room"_s,        u"地点："_s,
        u"在"_s,       u"会议室"_s, u"提前"_s,       u"99"_s,       u"分钟提醒"_s,    u"每周"_s,
        u"中秋节"_s,   u"月底"_s,   u"2026-02-30"_s, u"31/31"_s,    u"晚上12点"_s,    u" "_s,
        u"from"_s,     u"to"_s,     u"11am"_s,       u"noon"_s,     u"in 3 days"_s,   u"24:00"_s};
    QRandomGenerator random(14);
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = random.bounded(1, 30);
        for (int i = 0; i < length; ++i) text += tokens.at(random.bounded(tokens.size()));
        SCOPED_TRACE(text.toStdString());
        expectSound(read(text, round % 2 ? "2026-12-31T23:30:00" : "2027-03-14T01:30:00"));
    }
}

TEST(RuleEngineProperties, AMegabyteOfTextIsReadWhole) {
    // Prose with an event on every twentieth line, each with a title of its own.
    QString text;
    for (int line = 0; text.size() < 1 << 20; ++line) {
        text += line % 20
                    ? QStringLiteral("这一段只是说明，没有安排 and nothing to schedule here.\n")
                    : QStringLiteral("第%1项 明天下午3点 评审\n").arg(line);
    }
    const auto events = read(text, "2026-12-06T09:00:00");
    EXPECT_GT(events.size(), 1000);
    expectSound(events);
    // One line of a megabyte with no clause break at all.
    EXPECT_EQ(read(QString(1 << 20, u'3'), "2026-12-06T09:00:00").size(), 0);
}

TEST(RuleBasedExtractorTest, ReadsWithItsClockAndLabelsTheSource) {
    const QDateTime now = localAt(QStringLiteral("2026-12-06T09:00:00"));
    zorbel::RuleBasedExtractor extractor([now] { return now; });
    EXPECT_EQ(extractor.providerRoute(), (zorbel::ProviderRoute{QStringLiteral("builtin"), true}));
    EXPECT_FALSE(extractor.supportsVisionInput());
    const QString text = QStringLiteral("明天下午3点在研发楼301开项目评审");
    const auto events = zorbel::test::await(
        extractor.extractEvents(text, QStringLiteral("paste"), zorbel::CancellationToken()));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.first().sourceText, text);
    EXPECT_EQ(events.first().title, QStringLiteral("开项目评审"));
    EXPECT_EQ(events.first().location, QStringLiteral("研发楼301"));
    EXPECT_EQ(events.first().startDate, localAt(QStringLiteral("2026-12-07T15:00:00")).toUTC());
}

TEST(RuleBasedExtractorTest, CancelledRequestsAndPicturesAreRefused) {
    zorbel::RuleBasedExtractor extractor;
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(
        zorbel::test::await(extractor.extractEvents(QStringLiteral("明天"), QString(), token)),
        zorbel::CancelledError);
    EXPECT_THROW(zorbel::test::await(extractor.extractEvents(zorbel::PreparedImage{}, QString(),
                                                             zorbel::CancellationToken())),
                 zorbel::FileExtractionError);
}

TEST(RuleEngineDays, AWeekdayBesideADateOnlyConfirmsIt) {
    for (const char* text : {"12月10日（周四）下午3点 年终总结", "周四，12月10日 下午3点 年终总结",
                             "Thursday, Dec 10 3pm 年终总结"}) {
        SCOPED_TRACE(text);
        const auto events = read(QString::fromUtf8(text), "2026-12-06T09:00:00");
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.first().title, QStringLiteral("年终总结"));
        EXPECT_EQ(events.first().startDate, localAt(QStringLiteral("2026-12-10T15:00:00")).toUTC());
    }
}

TEST(RuleEngineDays, EveryWrittenDateForm) {
    // Sunday 6 December 2026.
    const QDate dec10(2026, 12, 10);
    const std::pair<const char*, QDate> cases[] = {
        {"2026年12月10日 a", dec10},
        {"12月10日 a", dec10},
        {"12月10号 a", dec10},
        {"十二月十日 a", dec10},
        {"2026-12-10 a", dec10},
        {"2026/12/10 a", dec10},
        {"12/10 a", dec10},
        {"10 Dec 2026 a", dec10},
        {"December 10th a", dec10},
        {"Dec. 10 a", dec10},
        {"今天 a", QDate(2026, 12, 6)},
        {"后天 a", QDate(2026, 12, 8)},
        {"大后天 a", QDate(2026, 12, 9)},
        {"本周三 a", QDate(2026, 12, 2)},
        {"这周日 a", QDate(2026, 12, 6)},
        {"下周三 a", dec10.addDays(-1)},
        {"礼拜三 a", QDate(2026, 12, 9)},
        {"星期天 a", QDate(2026, 12, 6)},
        {"today a", QDate(2026, 12, 6)},
        {"in 3 days a", QDate(2026, 12, 9)},
        {"this Friday a", QDate(2026, 12, 11)},
        {"3天后 a", QDate(2026, 12, 9)},
        {"元旦 a", QDate(2027, 1, 1)},
        {"New Year's Day a", QDate(2027, 1, 1)},
        {"Independence Day a", QDate(2027, 7, 4)},
        {"劳动节 a", QDate(2027, 5, 1)},
    };
    for (const auto& [text, date] : cases) {
        const auto events = read(QString::fromUtf8(text), "2026-12-06T09:00:00");
        ASSERT_EQ(events.size(), 1) << text;
        EXPECT_TRUE(events.first().allDay) << text;
        EXPECT_EQ(events.first().startDate.toTimeZone(testZone()).date(), date) << text;
    }
}

TEST(RuleEngineTimes, RangesKeepTheHalfOfTheDayOnBothSides) {
    const std::tuple<const char*, QTime, QTime> cases[] = {
        {"明天 14:00-16:00 a", QTime(14, 0), QTime(16, 0)},
        {"明天 下午2点至下午4点 a", QTime(14, 0), QTime(16, 0)},
        {"明天 上午10点到12点 a", QTime(10, 0), QTime(12, 0)},
        {"tomorrow 2pm–4pm a", QTime(14, 0), QTime(16, 0)},
        {"tomorrow 11-1pm a", QTime(11, 0), QTime(13, 0)},
        {"tomorrow from noon to 2pm a", QTime(12, 0), QTime(14, 0)},
    };
    for (const auto& [text, start, end] : cases) {
        const auto events = read(QString::fromUtf8(text), "2026-12-06T09:00:00");
        ASSERT_EQ(events.size(), 1) << text;
        EXPECT_EQ(events.first().startDate.toTimeZone(testZone()).time(), start) << text;
        EXPECT_EQ(events.first().endDate.toTimeZone(testZone()).time(), end) << text;
    }
    // Across midnight, the end is on the next day.
    const auto late = read(QStringLiteral("明天 22:00-01:00 上线"), "2026-12-06T09:00:00");
    ASSERT_EQ(late.size(), 1);
    EXPECT_EQ(late.first().startDate.secsTo(late.first().endDate), 3 * 3600);
}

TEST(RuleEngineZones, WinterAbbreviationsAndChineseZoneNames) {
    const QDateTime utc(QDate(2026, 12, 10), QTime(14, 0), Qt::UTC);
    for (const char* text :
         {"2026-12-10 9am EST x", "2026-12-10 6am PST x", "2026-12-10 15:00 CET x",
          "2026-12-10 14:00 GMT x", "2026-12-10 美国东部时间上午9点 x",
          "2026-12-10 22:00 北京时间 x", "2026-12-10 UTC+8 22:00 x"}) {
        const auto events = read(QString::fromUtf8(text), "2026-12-01T09:00:00");
        ASSERT_EQ(events.size(), 1) << text;
        EXPECT_EQ(events.first().startDate, utc) << text;
    }
}
