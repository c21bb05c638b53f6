#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

#include "calendar/CalendarReading.h"
#include "calendar/EventMatching.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/GoldenFolder.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

/// "2026-12-09 15:00" in the process zone, or a day "2026-12-09" (its 00:00).
QDateTime caseTime(const QJsonValue& value) {
    const QString text = value.toString();
    if (text.size() == 10) return QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    return QDateTime::fromString(text, u"yyyy-MM-dd HH:mm"_s);
}

QString printed(const QDateTime& instant, bool allDay) {
    return allDay ? instant.toLocalTime().date().toString(Qt::ISODate)
                  : instant.toLocalTime().toString(Qt::ISODateWithMs).left(16) +
                        ExtractedEvent::offsetText(instant.toLocalTime().offsetFromUtc());
}

/// A matching case: {"zone", "text", "existing": [[uid, title, start, end, "free"?]...],
/// "candidates": [[title, start, end]...]} (each read from "text"); a start without an hour
/// makes an all-day event.
/// What it prints: one line per candidate, its relation and the UID it concerns.
QByteArray classifyCase(const QString& path) {
    const QJsonObject json = QJsonDocument::fromJson(test::readFile(path)).object();
    const test::ProcessZone zone(json["zone"_L1].toString().toUtf8());
    QList<ExistingEvent> existing;
    for (const QJsonValue& row : json["existing"_L1].toArray()) {
        const QJsonArray fields = row.toArray();
        ExistingEvent event;
        event.uid = fields[0].toString();
        event.title = fields[1].toString();
        event.start = caseTime(fields[2]);
        event.end = caseTime(fields[3]);
        event.allDay = fields[2].toString().size() == 10;
        event.busy = fields[4].toString() != u"free";
        existing.append(event);
    }
    const QString text = json["text"_L1].toString();
    QList<ExtractedEvent> candidates;
    for (const QJsonValue& row : json["candidates"_L1].toArray()) {
        const QJsonArray fields = row.toArray();
        ExtractedEvent event;
        event.title = fields[0].toString();
        event.startDate = caseTime(fields[1]).toUTC();
        event.endDate = caseTime(fields[2]).toUTC();
        event.allDay = fields[1].toString().size() == 10;
        event.sourceText = text;
        candidates.append(event);
    }
    QByteArray out;
    const auto range = EventMatching::readingRange(candidates);
    out += "read " + printed(range.from, false).toUtf8() + " to " +
           printed(range.to, false).toUtf8() + '\n';
    const QList<CalendarMatch> matches = EventMatching::classify(candidates, existing);
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        out += candidates[i].title.toUtf8() + ": " + caseName(matches[i].relation);
        if (matches[i].existing >= 0) out += ' ' + existing[matches[i].existing].uid.toUtf8();
        out += '\n';
    }
    return out;
}

/// A reading case: an .ics file whose X-TEST-RANGE line ("<from>/<to>", UTC) and X-TEST-ZONE
/// line say what to read, printing each event found, in start order.
QByteArray readCase(const QString& path) {
    const QByteArray data = test::readFile(path);
    const auto header = [&](const char* name) {
        const QRegularExpression line(QLatin1String(name) + u":(.*)\r?\n"_s);
        return line.match(QString::fromUtf8(data)).captured(1).trimmed();
    };
    const test::ProcessZone zone(header("X-TEST-ZONE").toUtf8());
    const QStringList range = header("X-TEST-RANGE").split(u'/');
    const auto instant = [](const QString& text) {
        QDateTime utc = QDateTime::fromString(text, u"yyyyMMdd'T'HHmmss'Z'"_s);
        utc.setTimeSpec(Qt::UTC);
        return utc;
    };
    const auto parsed = ParsedCalendar::parse(data);
    if (!parsed) return "no iCalendar object\n";
    QList<ExistingEvent> events = parsed->eventsBetween(instant(range[0]), instant(range[1]));
    std::stable_sort(
        events.begin(), events.end(),
        [](const ExistingEvent& a, const ExistingEvent& b) { return a.start < b.start; });
    QByteArray out;
    for (const ExistingEvent& event : events) {
        out += QStringLiteral("%1 %2 %3 → %4%5\n")
                   .arg(event.uid, event.title, printed(event.start, event.allDay),
                        printed(event.end, event.allDay), event.busy ? u""_s : u" free"_s)
                   .toUtf8();
    }
    return out;
}

}  // namespace

TEST(EventMatching, EveryCaseGivesItsExpectedRelations) {
    test::GoldenFolder{QStringLiteral(ZORBEL_MATCHING_DIR), {u"*.json"_s}, u".out"_s, 8}.check(
        classifyCase);
}

TEST(EventMatching, EveryCalendarFileGivesItsExpectedEvents) {
    test::GoldenFolder{QStringLiteral(ZORBEL_READING_DIR), {u"*.ics"_s}, u".out"_s, 5}.check(
        readCase);
}

TEST(EventMatching, TitlesMatchAcrossWidthCaseAndPunctuation) {
    EXPECT_TRUE(EventMatching::titlesMatch(u"项目评审"_s, u"【项目】评审"_s));
    EXPECT_TRUE(EventMatching::titlesMatch(u"ＡＢＣ Review"_s, u"abc-review"_s));
    EXPECT_TRUE(EventMatching::titlesMatch(u"评审"_s, u"周三项目评审"_s));
    EXPECT_FALSE(EventMatching::titlesMatch(u"评审"_s, u"组会"_s));
    EXPECT_FALSE(EventMatching::titlesMatch(u"!!!"_s, u"任何标题"_s));
    EXPECT_FALSE(EventMatching::titlesMatch(QString(), QString()));
}
