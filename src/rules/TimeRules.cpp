// Clock times and ranges of them: 下午三点半, 晚上7点45, 上午十点一刻, 15:00, 3:30 p.m.,
// 3 o'clock, noon, 14:00-16:00, 下午2点到4点, 2-4pm, from 9 to 11am.

#include <QRegularExpression>

#include "rules/Lexicon.h"
#include "rules/Mentions.h"

namespace zorbel::rules {

namespace {

/// One clock time as written, before the half of the day is settled.
struct Clock {
    Span span;
    int hour = 0;
    int minute = 0;
    QString period;           ///< "am", "pm", "noon", "early", or empty
    bool twentyFour = false;  ///< 15:00, 08:30: needs no period
};

const QRegularExpression& clockExpression() {
    static const QRegularExpression expression = [] {
        const QString number = QStringLiteral(R"((?:\d{1,2}|[零〇一二两三四五六七八九十]{1,3}))");
        const QString meridiem = QStringLiteral(R"((?<ap>[ap])\.?\s?m(?![A-Za-z])\.?)");
        const QString range = QStringLiteral(R"((?:-|–|—|~|～|to|until|till))");
        return QRegularExpression(
            QStringLiteral(
                R"((?:(?<p>%1)\s*)?(?:(?<h1>\d{1,2})[:：](?<m1>\d{2})(?:[:：]\d{2})?(?!\d))"
                R"(|(?<h2>%2)\s*[点點时時](?:(?<half>半)|(?<q>[一三])刻|(?<m2>%2)(?:\s*分)?)?)"
                R"(|(?<![\w:.])(?<h3>\d{1,2})(?=\s*(?:[ap]\.?\s?m(?![A-Za-z])|o'clock)))"
                R"(|(?<![\w:.])(?<h4>\d{1,2})(?::(?<m4>\d{2}))?(?=\s*%4\s*\d{1,2}(?::\d{2})?\s*[ap]\.?\s?m(?![A-Za-z])))"
                R"(|(?<![A-Za-z])(?<word>noon|midday|midnight)(?![A-Za-z]))"
                // "2-4 on Wednesdays": bare hours, read as clock times only before a weekday.
                R"(|(?<![\w:.\-/])(?<h5>\d{1,2})(?=\s*[-–]\s*\d{1,2}%5))"
                R"(|(?<=[-–]|[-–] )(?<h6>\d{1,2})(?=%5)))"
                R"((?:\s*%3|\s*o'clock)?)")
                .arg(Lexicon::shared().pattern(QStringLiteral("dayPeriods")), number, meridiem,
                     range,
                     QStringLiteral(R"(\s+(?:on|every)\s+(?:%1)s?(?![A-Za-z]))")
                         .arg(Lexicon::shared().pattern(QStringLiteral("weekdays")))),
            QRegularExpression::CaseInsensitiveOption);
    }();
    return expression;
}

std::optional<Clock> readClock(const QRegularExpressionMatch& match) {
    const Lexicon& lex = Lexicon::shared();
    Clock clock;
    clock.span = {match.capturedStart(), match.capturedEnd()};
    clock.period =
        lex.value(QStringLiteral("dayPeriods"), match.captured(u"p")).value_or(QString());
    if (match.hasCaptured(u"ap")) clock.period = match.captured(u"ap").toLower() + u'm';
    if (match.hasCaptured(u"word")) {
        clock.hour = match.captured(u"word").toLower() == u"midnight" ? 0 : 12;
        clock.twentyFour = true;
        return clock;
    }
    if (match.hasCaptured(u"h1")) {
        clock.hour = match.captured(u"h1").toInt();
        clock.minute = match.captured(u"m1").toInt();
        clock.twentyFour =
            clock.hour >= 13 || clock.hour == 0 || match.captured(u"h1").startsWith(u'0');
    } else if (match.hasCaptured(u"h2")) {
        const auto hour = lex.numeral(match.captured(u"h2"));
        // 一点 alone is "a little" far more often than one o'clock.
        const bool aLittle = match.captured() == u"一点";
        if (!hour || aLittle) return std::nullopt;
        clock.hour = *hour;
        clock.twentyFour = clock.hour >= 13 || clock.hour == 0;
        if (match.hasCaptured(u"half")) clock.minute = 30;
        if (match.hasCaptured(u"q")) clock.minute = match.captured(u"q") == u"一" ? 15 : 45;
        if (match.hasCaptured(u"m2"))
            clock.minute = lex.numeral(match.captured(u"m2")).value_or(60);
    } else {
        QString hour = match.captured(u"h3");
        for (const QStringView group : {u"h4", u"h5", u"h6"}) {
            if (hour.isEmpty()) hour = match.captured(group);
        }
        clock.hour = hour.toInt();
        clock.minute = match.captured(u"m4").toInt();
    }
    if (clock.hour > 23 || clock.minute > 59) return std::nullopt;
    // 下午13:30 and 6:00 p.m. written as 18:00 p.m. say the half of the day twice; 上午15点
    // contradicts itself.
    if (!clock.period.isEmpty() && clock.hour > 12) {
        if (clock.period != u"pm" && clock.period != u"noon") return std::nullopt;
        clock.twentyFour = true;
    }
    return clock;
}

/// The 24-hour clock hour of `hour` in the half of the day `period` names.
int inPeriod(int hour, const QString& period) {
    if (period == u"pm") return hour < 12 ? hour + 12 : hour;
    if (period == u"noon") return hour <= 5 ? (hour == 0 ? 12 : hour + 12) : hour;
    if (period == u"am" || period == u"early") return hour == 12 ? 0 : hour;
    return hour;
}

QTime timeOf(const Clock& clock, int hour) {
    return QTime(hour, clock.minute);
}

/// A single time: a bare 1 to 6 o'clock is read in the afternoon, as people mean it.
TimeMention single(const Clock& clock) {
    TimeMention mention;
    mention.span = clock.span;
    mention.hasPeriod = !clock.period.isEmpty() || clock.twentyFour;
    mention.guessed = !mention.hasPeriod && clock.hour >= 1 && clock.hour <= 6;
    mention.start =
        timeOf(clock, mention.guessed ? clock.hour + 12 : inPeriod(clock.hour, clock.period));
    return mention;
}

/// A range; a period written on one side only also holds for the other when that keeps the
/// start before the end (2-4pm, 下午2点到4点).
TimeMention ranged(const Clock& from, const Clock& to) {
    TimeMention mention = single(from);
    mention.span.end = to.span.end;
    const bool fromBare = from.period.isEmpty() && !from.twentyFour;
    const bool toBare = to.period.isEmpty() && !to.twentyFour;
    if (fromBare && !toBare) {
        const QTime end = timeOf(to, inPeriod(to.hour, to.period));
        const QTime start = timeOf(from, inPeriod(from.hour, to.period));
        mention.start = start < end ? start : timeOf(from, from.hour);
        mention.hasPeriod = true;
        mention.guessed = false;
        mention.end = end;
    } else {
        QTime end = timeOf(to, inPeriod(to.hour, toBare ? from.period : to.period));
        // When the start's half of the day does not carry over (上午10点到12点, 11点到1点),
        // the end is the first reading of its hour after the start.
        for (const int hour : {to.hour, to.hour + 12}) {
            if (!toBare || end > mention.start || hour > 23) break;
            if (timeOf(to, hour) > mention.start) end = timeOf(to, hour);
        }
        mention.end = end;
    }
    return mention;
}

/// The text between `from` and `to`, without spaces and `separators` at its edges; "?" when
/// the two overlap.
QStringView gapBetween(const QString& clause, qsizetype from, qsizetype to,
                       QStringView separators = {}) {
    if (from > to) return u"?";
    QStringView gap = QStringView(clause).mid(from, to - from);
    const auto noise = [&](QChar c) { return c.isSpace() || separators.contains(c); };
    while (!gap.isEmpty() && noise(gap.front())) gap = gap.mid(1);
    while (!gap.isEmpty() && noise(gap.back())) gap.chop(1);
    return gap;
}

/// The zone written right after the time ("noon EDT, 9am PDT"), else right before it
/// ("UTC+8: 9:00"), else the clause's only zone.
std::optional<QTimeZone> zoneBeside(const QString& clause, const Span& span,
                                    const QList<ZoneMention>& zones) {
    for (const ZoneMention& zone : zones) {
        if (gapBetween(clause, span.end, zone.span.start).isEmpty()) return zone.zone;
    }
    for (const ZoneMention& zone : zones) {
        if (gapBetween(clause, zone.span.end, span.start, u":：,，").isEmpty()) return zone.zone;
    }
    if (zones.size() == 1) return zones.first().zone;
    return std::nullopt;
}

}  // namespace

QList<TimeMention> findTimes(const QString& clause, const QList<Span>& taken,
                             const QList<ZoneMention>& zones) {
    static const QStringList rangeWords = Lexicon::shared().words(QStringLiteral("rangeWords"));
    const QString text = masked(clause, taken);
    QList<Clock> clocks;
    auto matches = clockExpression().globalMatch(text);
    while (matches.hasNext()) {
        if (auto clock = readClock(matches.next())) clocks.append(*clock);
    }
    QList<TimeMention> times;
    for (qsizetype i = 0; i < clocks.size(); ++i) {
        const bool isRange =
            i + 1 < clocks.size() &&
            rangeWords.contains(gapBetween(text, clocks[i].span.end, clocks[i + 1].span.start),
                                Qt::CaseInsensitive);
        TimeMention mention = isRange ? ranged(clocks[i], clocks[i + 1]) : single(clocks[i]);
        if (isRange) ++i;
        mention.zone = zoneBeside(clause, mention.span, zones);
        times.append(mention);
    }
    return times;
}

QString masked(QString text, const QList<Span>& taken) {
    for (const Span& span : taken) {
        for (qsizetype i = span.start; i < span.end && i < text.size(); ++i) text[i] = kMask;
    }
    return text;
}

}  // namespace zorbel::rules
