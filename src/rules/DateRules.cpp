// Days: written dates, relative words, weekdays, month end and holidays.

#include <QRegularExpression>
#include <algorithm>
#include <functional>

#include "rules/Lexicon.h"
#include "rules/Mentions.h"

namespace zorbel::rules {

namespace {

using Match = QRegularExpressionMatch;
using Reader = std::function<std::optional<DateMention>(const Match&, const QDate&)>;

/// What a clause must hold for a rule to have a chance, checked before running it.
enum class Needs { anything, digits, latin, chinese };

struct DateRule {
    Needs needs;
    QRegularExpression expression;
    Reader read;
};

const QString kNumber = QStringLiteral(R"((?:\d{1,2}|[零〇一二两三四五六七八九十]{1,3}))");

const Lexicon& words() {
    return Lexicon::shared();
}

int numberOf(const Match& match, QStringView group) {
    return words().numeral(match.captured(group)).value_or(0);
}

/// The month/day on or after `today`, in this year or a following one.
QDate nextOnOrAfter(int month, int day, const QDate& today) {
    for (int year = today.year(); year < today.year() + 8; ++year) {
        const QDate date(year, month, day);
        if (date.isValid() && date >= today) return date;
    }
    return {};
}

/// A date with or without its year; `lastDay`/`lastMonth` close a span when given.
std::optional<DateMention> dayOf(const Match& match, const QDate& today, int year, int month,
                                 int day, int lastMonth = 0, int lastDay = 0) {
    DateMention mention;
    mention.span = {match.capturedStart(), match.capturedEnd()};
    mention.stated = year > 0;
    mention.first = year > 0 ? QDate(year, month, day) : nextOnOrAfter(month, day, today);
    if (!mention.first.isValid()) return std::nullopt;
    mention.last = mention.first;
    if (lastDay > 0) {
        QDate last(mention.first.year(), lastMonth > 0 ? lastMonth : month, lastDay);
        if (last.isValid() && last < mention.first) last = last.addYears(1);
        if (!last.isValid() || mention.first.daysTo(last) > 366) return std::nullopt;
        mention.last = last;
    }
    return mention;
}

DateMention relativeDay(const Match& match, const QDate& date) {
    DateMention mention;
    mention.span = {match.capturedStart(), match.capturedEnd()};
    mention.first = mention.last = date;
    return mention;
}

/// A short name written in lower case that is also an everyday word ("may", "sun").
bool isTrap(const QString& word) {
    return word == word.toLower() && words().value(QStringLiteral("lowercaseTraps"), word);
}

QDate mondayOf(const QDate& date) {
    return date.addDays(1 - date.dayOfWeek());
}

QDate weekdayOnOrAfter(int weekday, const QDate& today) {
    return today.addDays((weekday - today.dayOfWeek() + 7) % 7);
}

QRegularExpression expression(const QString& pattern) {
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
}

std::optional<DateMention> monthNamed(const Match& match, const QDate& today) {
    const QString name = match.captured(u"mon");
    if (isTrap(name)) return std::nullopt;
    const int month = words().number(QStringLiteral("months"), name);
    const QString secondName = match.captured(u"mon2");
    if (!secondName.isEmpty() && isTrap(secondName)) return std::nullopt;
    const int secondMonth = words().number(QStringLiteral("months"), secondName);
    return dayOf(match, today, match.captured(u"y").toInt(), month, match.captured(u"d").toInt(),
                 secondMonth, match.captured(u"d2").toInt());
}

std::optional<DateMention> weekdayNamed(const Match& match, const QDate& today, bool chinese) {
    const QString name = match.captured(u"wd");
    if (isTrap(name)) return std::nullopt;
    const int weekday = words().number(
        chinese ? QStringLiteral("weekdayCharacters") : QStringLiteral("weekdays"), name);
    if (weekday < 1 || weekday > 7) return std::nullopt;
    const QString shiftWord = match.captured(u"shift");
    const int shift = words().number(QStringLiteral("weekShifts"), shiftWord);
    QDate date;
    if (shiftWord.isEmpty() || (!chinese && shift == 0)) {
        date = weekdayOnOrAfter(weekday, today);
    } else {
        // 本周三, 下周三, next Friday: that day of this week or of a later one (weeks start on
        // Monday).
        date = mondayOf(today).addDays(7 * shift + weekday - 1);
    }
    DateMention mention = relativeDay(match, date);
    mention.weekday = true;
    return mention;
}

const QList<DateRule>& dateRules() {
    static const QList<DateRule> rules = [] {
        const Lexicon& lex = words();
        const QString range = QStringLiteral(R"((?:至|到|-|~|～|–|—))");
        QList<DateRule> list;
        // 2026年12月10日, 12月10号, 12月10日至12日
        list.append(
            {Needs::chinese,
             expression(QStringLiteral(R"((?:(?<y>\d{4})\s*年\s*)?(?<mo>%1)\s*月\s*)"
                                       R"((?<d>%1)\s*(?:[日号號]|(?![\d点时:：]))(?:\s*%2\s*)"
                                       R"((?:(?<mo2>%1)\s*月\s*)?(?<d2>%1)\s*[日号號])?)")
                            .arg(kNumber, range)),
             [](const Match& m, const QDate& today) {
                 return dayOf(m, today, m.captured(u"y").toInt(), numberOf(m, u"mo"),
                              numberOf(m, u"d"), numberOf(m, u"mo2"), numberOf(m, u"d2"));
             }});
        // 2026-12-10, 2026/12/10, 2026.12.10, 2016.1.16-2.28, 20230215
        list.append(
            {Needs::digits,
             expression(QStringLiteral(
                 R"((?<![\d.])(?<y>\d{4})(?<s>[-/.])(?<mo>\d{1,2})\k<s>(?<d>\d{1,2})(?![\d]))"
                 R"((?:\s*(?:-|–|—|~|至|到)\s*(?:(?<mo2>\d{1,2})\k<s>)?(?<d2>\d{1,2})(?![\d.\-/]))?)"
                 // 20230215 alone, not inside an address or a timestamp (iso=20211026T160000)
                 R"(|(?<![A-Za-z0-9_.=/&?%-])(?<cy>20\d\d)(?<cmo>0[1-9]|1[0-2])(?<cd>0[1-9]|[12]\d|3[01]))"
                 R"((?![A-Za-z0-9_/&=%-]))")),
             [](const Match& m, const QDate& today) {
                 if (m.hasCaptured(u"cy")) {
                     return dayOf(m, today, m.captured(u"cy").toInt(), m.captured(u"cmo").toInt(),
                                  m.captured(u"cd").toInt());
                 }
                 return dayOf(m, today, m.captured(u"y").toInt(), m.captured(u"mo").toInt(),
                              m.captured(u"d").toInt(), m.captured(u"mo2").toInt(),
                              m.captured(u"d2").toInt());
             }});
        // 12/10 is month/day in both languages; 25/12 (no 25th month) is day/month.
        list.append(
            {Needs::digits,
             expression(QStringLiteral(R"((?<![\d/:.])(?<a>\d{1,2})/(?<b>\d{1,2})(?![\d/]))")),
             [](const Match& m, const QDate& today) {
                 int month = m.captured(u"a").toInt();
                 int day = m.captured(u"b").toInt();
                 if (month > 12 && day <= 12) std::swap(month, day);
                 return dayOf(m, today, 0, month, day);
             }});
        const QString months = lex.pattern(QStringLiteral("months"));
        const QString ordinal = QStringLiteral("(?:st|nd|rd|th)?");
        // 10 Dec 2026, 10th December
        list.append({Needs::latin,
                     expression(QStringLiteral(R"((?<![\w])(?<d>\d{1,2})%1\s+(?:of\s+)?(?<mon>%2))"
                                               R"(\.?(?:,?\s+(?<y>\d{4}))?(?![\w]))")
                                    .arg(ordinal, months)),
                     monthNamed});
        // December 10th, Dec. 10, Dec 10–12, 2026, September 8 to October 3
        list.append(
            {Needs::latin,
             expression(QStringLiteral(
                            R"((?<![\w])(?<mon>%2)\.?\s+(?<d>\d{1,2})%1(?![\d:])(?:\s*)"
                            R"((?:-|–|—|to|through|until)\s*(?:(?<mon2>%2)\.?\s+)?(?<d2>\d{1,2})%1)"
                            R"((?![\d:]|\s*(?:[ap]\.?m\b|o'clock)))?(?:,?\s+(?<y>\d{4}))?(?![\w]))")
                            .arg(ordinal, months)),
             monthNamed});
        // 今天, 明天, the day after tomorrow
        list.append({Needs::anything,
                     expression(QStringLiteral(R"((?<![A-Za-z])(?:%1)(?![A-Za-z]))")
                                    .arg(lex.pattern(QStringLiteral("relativeDays")))),
                     [](const Match& m, const QDate& today) {
                         const QString word = m.captured();
                         DateMention mention = relativeDay(
                             m,
                             today.addDays(words().number(QStringLiteral("relativeDays"), word)));
                         mention.dayPeriod =
                             words().value(QStringLiteral("dayPeriods"), word).value_or(QString());
                         return std::optional(mention);
                     }});
        // in 3 days, 3天后
        list.append(
            {Needs::anything,
             expression(
                 QStringLiteral(
                     R"((?:(?<![A-Za-z])in\s+(?<n>\d{1,3})\s+days?(?![A-Za-z])|(?<z>%1)\s*天[以之]?后))")
                     .arg(kNumber)),
             [](const Match& m, const QDate& today) {
                 const int days =
                     m.captured(u"n").isEmpty() ? numberOf(m, u"z") : m.captured(u"n").toInt();
                 return std::optional(relativeDay(m, today.addDays(days)));
             }});
        // 本周三, 下下周一, 星期天, 礼拜三
        list.append(
            {Needs::chinese,
             expression(QStringLiteral(R"((?<shift>%1)?\s*(?:%2)(?<wd>%3))")
                            .arg(lex.pattern(QStringLiteral("weekShifts")),
                                 lex.pattern(QStringLiteral("weekWords")),
                                 lex.pattern(QStringLiteral("weekdayCharacters")))),
             [](const Match& m, const QDate& today) { return weekdayNamed(m, today, true); }});
        // next Friday, on Monday
        list.append(
            {Needs::latin,
             expression(QStringLiteral(R"((?<![A-Za-z])(?:(?<shift>%1)\s+)?(?<wd>%2)(?![A-Za-z]))")
                            .arg(lex.pattern(QStringLiteral("weekShifts")),
                                 lex.pattern(QStringLiteral("weekdays")))),
             [](const Match& m, const QDate& today) { return weekdayNamed(m, today, false); }});
        // 月底: the last day of this month
        list.append({Needs::anything, expression(lex.pattern(QStringLiteral("monthEnd"))),
                     [](const Match& m, const QDate& today) {
                         return std::optional(relativeDay(
                             m, QDate(today.year(), today.month(), today.daysInMonth())));
                     }});
        list.append({Needs::anything,
                     expression(QStringLiteral(R"((?<![A-Za-z])(?:%1)(?![A-Za-z]))")
                                    .arg(lex.pattern(QStringLiteral("holidays")))),
                     [](const Match& m, const QDate& today) -> std::optional<DateMention> {
                         const auto rule = words().value(QStringLiteral("holidays"), m.captured());
                         const auto date = holidayOnOrAfter(rule.value_or(QString()), today);
                         if (!date) return std::nullopt;
                         DateMention mention = relativeDay(m, *date);
                         mention.holiday = true;
                         return mention;
                     }});
        return list;
    }();
    return rules;
}

}  // namespace

std::optional<qsizetype> stampBefore(const QString& clause, const DateMention& date) {
    static const QRegularExpression stamp(
        QStringLiteral(R"((?:%1)\s*(?:时间|日期|于|on|at|in)?\s*[:：]?\s*$)")
            .arg(words().pattern(QStringLiteral("stampWords"))),
        QRegularExpression::CaseInsensitiveOption);
    const Match match = stamp.match(QStringView(clause).left(date.span.start));
    if (!match.hasMatch()) return std::nullopt;
    return match.capturedStart();
}

QList<DateMention> findDates(const QString& clause, const QDate& today) {
    bool digits = false;
    bool latin = false;
    bool chinese = false;
    for (const QChar c : clause) {
        digits = digits || c.isDigit();
        latin = latin || (c.unicode() < 0x80 && c.isLetter());
        chinese = chinese || c.unicode() >= 0x2e80;
    }
    const auto worthTrying = [&](Needs needs) {
        return needs == Needs::anything || (needs == Needs::digits && digits) ||
               (needs == Needs::latin && latin) || (needs == Needs::chinese && chinese);
    };
    QList<DateMention> found;
    for (const DateRule& rule : dateRules()) {
        if (!worthTrying(rule.needs)) continue;
        auto matches = rule.expression.globalMatch(clause);
        while (matches.hasNext()) {
            if (auto mention = rule.read(matches.next(), today)) found.append(*mention);
        }
    }
    // Earliest first, the longer of two that start together; then drop what overlaps a kept one.
    std::sort(found.begin(), found.end(), [](const DateMention& a, const DateMention& b) {
        return a.span.start != b.span.start ? a.span.start < b.span.start : a.span.end > b.span.end;
    });
    QList<DateMention> kept;
    for (const DateMention& mention : found) {
        if (kept.isEmpty() || !kept.last().span.overlaps(mention.span)) kept.append(mention);
    }
    // 6月26日、27日: a day of the same month listed after a date.
    static const QRegularExpression nextDay(
        QStringLiteral(R"(\G\s*[、,，和及]\s*(?<d>%1)\s*[日号號])").arg(kNumber));
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i].weekday || kept[i].holiday) continue;
        const Match match = nextDay.match(clause, kept[i].span.end);
        if (!match.hasMatch() ||
            (i + 1 < kept.size() && kept[i + 1].span.start < match.capturedEnd()))
            continue;
        const QDate day(kept[i].last.year(), kept[i].last.month(), numberOf(match, u"d"));
        if (!day.isValid() || day <= kept[i].last) continue;
        DateMention mention = kept[i];
        mention.span = {match.capturedStart(u"d"), match.capturedEnd()};
        mention.first = mention.last = day;
        kept.insert(i + 1, mention);
    }
    // A weekday written beside a date only confirms it: 12月10日（周四）, Sunday, March 7,
    // Wednesday | December 13. In brackets, it is the date's before it.
    const auto beside = [&clause](const Span& left, const Span& right) {
        for (qsizetype i = left.end; i < right.start; ++i) {
            const QChar c = clause.at(i);
            if (!c.isSpace() && !QStringView(u"(),（），、|").contains(c)) return false;
        }
        return true;
    };
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (!kept[i].weekday) continue;
        const bool left = i > 0 && !kept[i - 1].weekday && beside(kept[i - 1].span, kept[i].span);
        const bool right =
            i + 1 < kept.size() && !kept[i + 1].weekday && beside(kept[i].span, kept[i + 1].span);
        const qsizetype end = kept[i].span.end;
        const bool bracketed = end < clause.size() && QStringView(u")）").contains(clause.at(end));
        if (left && (bracketed || !right)) {
            kept[i - 1].span.end = end + (bracketed ? 1 : 0);
        } else if (right) {
            kept[i + 1].span.start = kept[i].span.start;
        } else {
            continue;
        }
        kept.removeAt(i--);
    }
    return kept;
}

}  // namespace zorbel::rules
