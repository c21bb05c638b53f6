// The rules against the golden folder, each text read in three zones, and what no single text
// shows: random mixes of words, a megabyte of text, a missing reference; the extractor's
// refusals. (Its clock and source text are tested where the client routes to it.)

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimeZone>
#include <ctime>

#include "core/FileExtractionError.h"
#include "rules/RuleBasedExtractor.h"
#include "rules/RuleEngine.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"
#include "testkit/GoldenFolder.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::EventField;
using zorbel::ExtractedEvent;
using zorbel::RuleEngine;

namespace {

// The zone and locale are set before main, ahead of any time or locale use in the process.
const bool g_environment = [] {
    qputenv("TZ", ZORBEL_TEST_TZ);
    qputenv("LC_ALL", "C.UTF-8");
    tzset();
    return true;
}();

/// The events of `text` when it is `now` (wall-clock time) in `zone`.
QList<ExtractedEvent> read(const QString& text, const QString& now,
                           const QTimeZone& zone = QTimeZone(ZORBEL_TEST_TZ)) {
    QDateTime time = QDateTime::fromString(now, Qt::ISODate);
    time.setTimeZone(zone);
    return RuleEngine::extract(text, time, zone);
}

/// The checks every event of every text must pass.
void expectSound(const QList<ExtractedEvent>& events) {
    for (const ExtractedEvent& event : events) {
        ASSERT_TRUE(event.startDate.isValid() && event.endDate.isValid());
        EXPECT_LT(event.startDate, event.endDate) << event.title.toStdString();
        EXPECT_FALSE(event.title.isEmpty());
        EXPECT_LE(event.title.size(), 40);
        EXPECT_EQ(event.startDate.timeSpec(), Qt::UTC);
        EXPECT_TRUE(event.fieldOrigins.contains(EventField::startDate) &&
                    event.fieldOrigins.contains(EventField::endDate));
        EXPECT_GE(event.reminderMinutes.value_or(0), 0);
    }
}

/// An event as the expected files write it: instants as wall-clock time of `zone`.
QJsonObject canonical(const ExtractedEvent& event, const QTimeZone& zone) {
    const auto local = [&zone](const QDateTime& instant) {
        return instant.toTimeZone(zone).toString(u"yyyy-MM-ddTHH:mm"_s);
    };
    QJsonObject origins;
    for (auto it = event.fieldOrigins.begin(); it != event.fieldOrigins.end(); ++it) {
        origins.insert(QLatin1String(zorbel::caseName(it.key())), zorbel::rawValue(it.value()));
    }
    QJsonObject object{{u"title"_s, event.title},
                       {u"start"_s, local(event.startDate)},
                       {u"end"_s, local(event.endDate)},
                       {u"origins"_s, origins}};
    if (event.allDay) object.insert(u"allDay"_s, true);
    if (!event.location.isEmpty()) object.insert(u"location"_s, event.location);
    if (!event.notes.isEmpty()) object.insert(u"notes"_s, event.notes);
    if (event.reminderMinutes) object.insert(u"reminder"_s, *event.reminderMinutes);
    if (event.recurrence) object.insert(u"recurrence"_s, *event.recurrence);
    if (event.recurrenceInterval != 1) object.insert(u"every"_s, event.recurrenceInterval);
    if (event.recurrenceEnd && event.recurrenceEnd->until.isValid())
        object.insert(u"until"_s, event.recurrenceEnd->until.toString(Qt::ISODate));
    if (event.recurrenceEnd && event.recurrenceEnd->count > 0)
        object.insert(u"count"_s, event.recurrenceEnd->count);
    return object;
}

/// A golden input is "now: <wall-clock time>" on its first line, then the text. Its events in
/// each zone (whatever zone this program runs in); one list when every zone reads the same.
QByteArray readInEveryZone(const QString& path) {
    const QString input = QString::fromUtf8(zorbel::test::readFile(path));
    const QString header = input.section(u'\n', 0, 0);
    EXPECT_TRUE(header.startsWith(u"now: "_s));
    QJsonObject byZone;
    bool agree = true;
    for (const char* name : {"Asia/Shanghai", "America/New_York", "Europe/London"}) {
        const QTimeZone zone(name);
        const QList<ExtractedEvent> events = read(input.section(u'\n', 1), header.mid(5), zone);
        expectSound(events);
        QJsonArray list;
        for (const ExtractedEvent& event : events) list.append(canonical(event, zone));
        agree = agree && (byZone.isEmpty() || byZone.begin().value() == list);
        byZone.insert(QLatin1String(name), list);
    }
    return QJsonDocument(agree ? QJsonObject{{u"events"_s, byZone.begin().value()}} : byZone)
        .toJson();
}

}  // namespace

TEST(RuleEngineGolden, EveryTextGivesItsExpectedEvents) {
    const zorbel::test::GoldenFolder golden{
        QStringLiteral(ZORBEL_GOLDEN_DIR), {u"*.txt"_s}, u".expected.json"_s, 37};
    golden.check(readInEveryZone);
}

// Each day read and left out names the rule that left it out, so that a wrong drop is found.
TEST(RuleEngineExplain, EveryLeftOutDayNamesItsRule) {
    QDateTime now = QDateTime::fromString(u"2026-12-07T10:00:00"_s, Qt::ISODate);
    const QTimeZone zone(ZORBEL_TEST_TZ);
    now.setTimeZone(zone);
    QList<RuleEngine::Drop> dropped;
    const QList<ExtractedEvent> events = RuleEngine::extract(
        u"发布时间：2026-12-01 10:00\n周四或周五开会\n12月9日下午3点评审\n12月9日 评审\n"
        u"如到12月20日仍未交，请联系\n12月12日照常开放\n2026年12月7日"_s,
        now, zone, &dropped);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.first().title, u"评审"_s);
    QStringList rules;
    for (const RuleEngine::Drop& drop : dropped) rules.append(drop.rule);
    EXPECT_EQ(rules, (QStringList{u"stamp"_s, u"choices"_s, u"condition"_s, u"as usual"_s,
                                  u"dateline"_s, u"day named again"_s}));
    EXPECT_TRUE(dropped.first().text.contains(u"2026-12-01"_s));
}

// The lines of a paragraph that name no day are its events' notes, cut to a sensible length.
TEST(RuleEngineNotes, AParagraphsOtherLinesAreItsNotesUpToALimit) {
    const QString text =
        u"12月9日下午3点 评审\n请各位提前十分钟到场，并带上自己的电脑、充电器和会议材料\n"_s +
        QString(400, u'长') + u"\n\n12月10日 团建"_s;
    const QList<ExtractedEvent> events = read(text, u"2026-12-07T10:00:00"_s);
    ASSERT_EQ(events.size(), 2);
    EXPECT_TRUE(events[0].notes.startsWith(
        u"请各位提前十分钟到场，并带上自己的电脑、充电器和会议材料\n长长"_s))
        << events[0].notes.toStdString();
    EXPECT_EQ(events[0].notes.size(), 301);
    EXPECT_TRUE(events[0].notes.endsWith(u'…'));
    EXPECT_TRUE(events[1].notes.isEmpty());
}

TEST(RuleEngineInput, InvalidReferenceGivesNothingRatherThanGuessing) {
    EXPECT_TRUE(
        RuleEngine::extract(u"明天下午3点"_s, QDateTime(), QTimeZone(ZORBEL_TEST_TZ)).isEmpty());
}

// Random mixes of the words the rules read, with emoji, other scripts and broken pieces: no
// crash, and every event is whole and ends after it starts.
TEST(RuleEngineProperties, AnyMixOfWordsGivesSoundEvents) {
    const QStringList tokens =
        u"明天|下午|3点|半|到|12月|10日|至|下下周一|十点一刻|\n|。|15:00|-|16:00|pm|"
        u"Dec|10|–|12|EST|UTC+8|(GMT+08:00)|AoE|北京时间|😀|Привет|at|Room|地点：|在|"
        u"会议室|提前|99|分钟提醒|每周|中秋节|月底|2026-02-30|31/31|晚上12点| |from|"
        u"to|11am|noon|in 3 days|24:00"_s.split(u'|');
    QRandomGenerator random(14);
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = random.bounded(1, 30);
        for (int i = 0; i < length; ++i) text += tokens.at(random.bounded(tokens.size()));
        SCOPED_TRACE(text.toStdString());
        expectSound(read(text, round % 2 ? u"2026-12-31T23:30:00"_s : u"2027-03-14T01:30:00"_s));
    }
}

TEST(RuleEngineProperties, AMegabyteOfTextIsReadWhole) {
    // Prose with an event on every twentieth line, each with a title of its own.
    QString text;
    for (int line = 0; text.size() < 1 << 20; ++line) {
        text += line % 20 ? u"这一段只是说明，没有安排 and nothing to schedule here.\n"_s
                          : u"第%1项 明天下午3点 评审\n"_s.arg(line);
    }
    const auto events = read(text, u"2026-12-06T09:00:00"_s);
    EXPECT_GT(events.size(), 1000);
    expectSound(events);
    // One line of a megabyte with no clause break at all.
    EXPECT_EQ(read(QString(1 << 20, u'3'), u"2026-12-06T09:00:00"_s).size(), 0);
}

TEST(RuleBasedExtractorTest, CancelledRequestsAndPicturesAreRefused) {
    zorbel::RuleBasedExtractor extractor;
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(zorbel::test::await(extractor.extractEvents(u"明天"_s, QString(), token)),
                 zorbel::CancelledError);
    EXPECT_EQ(zorbel::test::thrown<zorbel::FileExtractionError>([&] {
                  zorbel::test::await(extractor.extractEvents(zorbel::PreparedImage{}, QString(),
                                                              zorbel::CancellationToken()));
              }),
              zorbel::FileExtractionError::unsupportedType(u"image"_s));
}
