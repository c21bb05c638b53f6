// From clauses to events: the text is cut into clauses (lines, sentences, list items); in each,
// the days, zones and times are found, and every time gets the day written before it.

#include "rules/RuleEngine.h"

#include <QRegularExpression>
#include <QSet>

#include "rules/Lexicon.h"
#include "rules/Mentions.h"
#include "support/Text.h"

namespace zorbel {

using namespace rules;
using namespace Qt::Literals::StringLiterals;

namespace {

/// The line ends in a word that cannot end a sentence ("is on", "at").
bool endsInFiller(QStringView line) {
    line = line.trimmed();
    qsizetype word = line.size();
    while (word > 0 && line.at(word - 1).isLetter() && line.at(word - 1).unicode() < 0x80) --word;
    return word < line.size() && (word == 0 || line.at(word - 1).isSpace()) &&
           Lexicon::shared().value(QStringLiteral("fillers"), line.mid(word).toString());
}

/// Line breaks and sentence ends close a clause (a question keeps its mark); so does ". " before a
/// capital letter, unless the word before the dot is an abbreviation (Dec., Mr.).
QStringList clausesOf(const QString& text) {
    QStringList clauses;
    qsizetype begin = 0;
    const auto close = [&](qsizetype end, qsizetype next) {
        if (end > begin) clauses.append(text.mid(begin, end - begin));
        begin = next;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'?' || c == u'？') {
            close(i + 1, i + 1);  // kept: a question settles nothing
        } else if (c == u'\n' && endsInFiller(QStringView(text).mid(begin, i - begin))) {
            continue;  // a hard-wrapped line: "the next call is on\nTHURSDAY, 11/18"
        } else if (c == u'\n' || c == u'\r' || c == u'。' || c == u'！' || c == u'；' ||
                   c == u';' || c == u'!') {
            close(i, i + 1);
        } else if (c == u'.' && i + 2 < text.size() && text.at(i + 1) == u' ' &&
                   (text.at(i + 2).isUpper() || text.at(i + 2).unicode() > 0x2e80)) {
            qsizetype word = i;
            while (word > begin && text.at(word - 1).isLetter()) --word;
            const QString before = text.mid(word, i - word);
            // A number ends a sentence too: "… on Oct. 14. On …", "… January 1st. School …".
            const bool number = word > begin && text.at(word - 1).isDigit() &&
                                QStringView(u"||st|nd|rd|th|").contains(u'|' + before + u'|');
            if (number ||
                (before.size() > 2 && !Lexicon::shared().value(QStringLiteral("months"), before))) {
                close(i, i + 1);
            }
        }
    }
    close(text.size(), text.size());
    return clauses;
}

/// A chat copied with its speakers ("A: 周五有空吗" on most lines, someone speaking more than
/// once) without the speaker labels, which would otherwise become titles; nothing for any other
/// text (a notice's labelled lines, 时间：… 地点：…, each name a label once).
std::optional<QString> withoutSpeakers(const QString& text) {
    static const QRegularExpression speaker(QStringLiteral(R"(^[ \t]*[^\s\d:：]{1,10}[ \t]*[:：])"),
                                            QRegularExpression::MultilineOption);
    qsizetype lines = 0;
    for (const QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        lines += line.trimmed().isEmpty() ? 0 : 1;
    }
    QString result = text;
    qsizetype labelled = 0;
    QSet<QString> speakers;
    auto matches = speaker.globalMatch(text);
    while (matches.hasNext()) {
        const auto match = matches.next();
        result.replace(match.capturedStart(), match.capturedLength(),
                       QString(match.capturedLength(), u' '));
        speakers.insert(match.captured().chopped(1).trimmed());
        ++labelled;
    }
    if (labelled < 3 || labelled * 2 < lines || speakers.size() == labelled) return std::nullopt;
    return result;
}

/// `text` with its web addresses blanked out: their digits (?iso=20210518T160000, /2023/06/)
/// are no days or times.
QString withoutLinks(QString text) {
    static const QRegularExpression link(QStringLiteral(R"((?:https?://|www\.)[^\s<>"'）)]+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    auto matches = link.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        text.replace(match.capturedStart(), match.capturedLength(),
                     QString(match.capturedLength(), u' '));
    }
    return text;
}

/// `text` with full-width digits and Latin letters (１２月１０日, ＰＭ) written as ASCII, one
/// character for one, so that every rule reads them.
QString halfWidth(QString text) {
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0xff10 && u <= 0xff19) || (u >= 0xff21 && u <= 0xff3a) ||
            (u >= 0xff41 && u <= 0xff5a)) {
            c = QChar(char16_t(u - 0xfee0));
        }
    }
    return text;
}

/// What one event is made of.
struct Piece {
    QDate date;
    QDate lastDate;
    bool dateStated = false;
    QString dayPeriod;
    std::optional<TimeMention> time;
    std::optional<QDate> endDay;  ///< the day `time`'s end falls on, when written
};

/// The local wall time of `date` and `time` in `zone`, in UTC. A time that the clocks skip
/// (02:30 on the night they go forward) is read with the offset in force before the change.
QDateTime instant(const QDate& date, const QTime& time, const QTimeZone& zone) {
    const QDateTime local(date, time, zone);
    if (local.isValid() && local.date() == date && local.time() == time) return local.toUTC();
    const int before = zone.offsetFromUtc(QDateTime(date.addDays(-1), time, zone));
    return QDateTime(date, time, Qt::OffsetFromUTC, before).toUTC();
}

/// The longest notes taken from a paragraph.
constexpr qsizetype kMaxNotes = 300;

/// The longest line read as a heading.
constexpr qsizetype kMaxSubject = 24;

/// At most four words and a range word ("and runs through", "until", "）至", ", through the").
bool endsInRangeWord(QStringView between) {
    static const QRegularExpression runsTo(
        QStringLiteral(R"(^[\s,，)）]*(?:\S+\s+){0,4}(?:%1)(?:\s+the|\s+on)?[\s,，]*$)")
            .arg(Lexicon::shared().pattern(QStringLiteral("rangeWords"))),
        QRegularExpression::CaseInsensitiveOption);
    return runsTo.match(between).hasMatch();
}

/// Nothing but a list's joints between two days: 12月10日、11日, Oct. 13 and Oct. 20.
bool listsTogether(const QString& clause, const DateMention& first, const DateMention& second) {
    static const QRegularExpression joints(QStringLiteral(R"(^(?:[\s,，、]|and|&|和|及|以及)*$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return joints.match(QStringView(clause).mid(first.span.end, second.span.start - first.span.end))
        .hasMatch();
}

/// Two days offered as choices ("Thursday or Friday", 周四或周五): nothing is settled yet.
bool offeredAsChoices(const QString& clause, const QList<DateMention>& dates) {
    static const QRegularExpression joint(QStringLiteral(R"(^[\s,，]*(?:or|或者?|还是)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (qsizetype d = 0; d + 1 < dates.size(); ++d) {
        const qsizetype end = dates[d].span.end;
        if (joint.match(QStringView(clause).mid(end, dates[d + 1].span.start - end)).hasMatch())
            return true;
    }
    return false;
}

/// Right beside a written date, or on a day the clause writes out, a holiday names that day
/// ("December 25 | Christmas Day", 4月4日（清明节）): it is no day of its own, and its words
/// stay for the title.
QList<DateMention> withoutNamingHolidays(const QString& clause, const QList<DateMention>& dates) {
    const auto besideADate = [&](qsizetype d) {
        for (const qsizetype other : {d - 1, d + 1}) {
            if (other < 0 || other >= dates.size() || dates[other].holiday) continue;
            const Span& a = other < d ? dates[other].span : dates[d].span;
            const Span& b = other < d ? dates[d].span : dates[other].span;
            const QStringView gap = QStringView(clause).mid(a.end, b.start - a.end);
            if (std::all_of(gap.begin(), gap.end(), [](QChar c) {
                    return c.isSpace() || QStringView(u"|()（）,，:：-–—").contains(c);
                })) {
                return true;
            }
        }
        return false;
    };
    // "Thanksgiving Weekend Thursday, November 23 – Saturday, November 25" names a written day.
    const auto aWrittenDay = [&](qsizetype d) {
        return std::any_of(dates.cbegin(), dates.cend(), [&](const DateMention& other) {
            return !other.holiday && other.first <= dates[d].first && dates[d].first <= other.last;
        });
    };
    QList<DateMention> days;
    for (qsizetype d = 0; d < dates.size(); ++d) {
        if (!dates[d].holiday || !(besideADate(d) || aWrittenDay(d))) days.append(dates[d]);
    }
    return days;
}

/// "begins December 23rd and runs through January 1st": two days without a time, the words
/// between them ending in a range word, are one span of days; so are days in a row.
QList<DateMention> withRangesJoined(const QString& clause, QList<DateMention> dates,
                                    const QList<TimeMention>& times) {
    // Two days and two times may be a day and time to another ("at 2 p.m. on Thursday and
    // runs through Friday at 6 p.m."): that reading comes first.
    if (dates.size() == 2 && times.size() == 2) return dates;
    for (qsizetype d = 0; d + 1 < dates.size(); ++d) {
        DateMention& first = dates[d];
        const DateMention& second = dates[d + 1];
        const bool timed = std::any_of(times.cbegin(), times.cend(), [&](const TimeMention& t) {
            return t.span.start >= first.span.start && t.span.end <= second.span.end;
        });
        const QString between = clause.mid(first.span.end, second.span.start - first.span.end);
        // Days in a row listed one by one (6月26日、27日两天) are one span too.
        const bool nextDay = times.isEmpty() && second.first == first.last.addDays(1) &&
                             listsTogether(clause, first, second);
        if (timed || !(endsInRangeWord(between) || nextDay) || second.last <= first.last ||
            second.last > first.first.addYears(1)) {
            continue;
        }
        first.last = second.last;
        first.span.end = second.span.end;
        first.stated = first.stated && second.stated;
        dates.removeAt(d + 1);
    }
    return dates;
}

/// A clause that starts with a condition (如到1月13日仍不能离校, "If it rains on Friday"): its
/// days are no events.
bool isCondition(const QString& clause) {
    static const QRegularExpression condition(
        QStringLiteral(R"(^(?:%1)?\s*(?:%2)(?![A-Za-z]))")
            .arg(listMarker(), Lexicon::shared().pattern(QStringLiteral("conditions"))),
        QRegularExpression::CaseInsensitiveOption);
    return condition.match(clause).hasMatch();
}

/// Times in brackets after an office-hours word (1月7日之前（工作日8:00-12:00）) are when a desk
/// is open, not when the event is.
QList<TimeMention> withoutOfficeHours(const QString& clause, QList<TimeMention> times) {
    const QList<Span> hours = officeHours(clause);
    times.removeIf([&](const TimeMention& time) {
        return std::any_of(hours.cbegin(), hours.cend(),
                           [&](const Span& span) { return span.overlaps(time.span); });
    });
    return times;
}

/// "4:00 PM CET / 10:00 AM EDT / 2:00PM UTC": one time written in several zones, which may
/// not agree; the first is the one meant.
QList<TimeMention> withoutZoneEchoes(const QString& clause, QList<TimeMention> times) {
    static const QRegularExpression slash(QStringLiteral(R"(^\s*\S{0,12}\s*/\s*$)"));
    for (qsizetype t = times.size() - 1; t > 0; --t) {
        const TimeMention& before = times[t - 1];
        const QStringView gap =
            QStringView(clause).mid(before.span.end, times[t].span.start - before.span.end);
        if (before.zone && times[t].zone && slash.match(gap).hasMatch()) times.removeAt(t);
    }
    return times;
}

/// Two titles share a word: two Chinese characters in a row, or a Latin word of four letters or
/// more.
bool shareAWord(const QString& a, const QString& b) {
    static const QRegularExpression word(QStringLiteral(R"([\x{2e80}-\x{9fff}]{2}|[A-Za-z]{4,})"));
    for (qsizetype at = 0; at < a.size(); ++at) {
        const QRegularExpressionMatch match = word.match(
            a, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (match.hasMatch() && b.contains(match.captured(), Qt::CaseInsensitive)) return true;
    }
    return false;
}

/// The days of a repeat: a weekday with the day it starts on ("every Monday at 9am starting
/// October 26") is one first day, the weekday's on or after it; a day after a range word
/// (至12月20日, "until December 20") or the end of a span of days is where it stops.
QList<DateMention> repeatDays(const QString& clause, QList<DateMention> dates,
                              ClauseDetails& details) {
    static const QRegularExpression starts(
        QStringLiteral(R"((?:starting|beginning|from|starts|自|从|起)\s*(?:on\s*)?$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!details.recurrence) return dates;
    static const QRegularExpression until(
        QStringLiteral(R"((?<![A-Za-z])(?:%1)(?:\s+the|\s+on)?[\s,，]*$)")
            .arg(Lexicon::shared().pattern(QStringLiteral("rangeWords"))),
        QRegularExpression::CaseInsensitiveOption);
    // "daily at 9:30 until December 18": it starts at the next 9:30.
    if (dates.size() == 1 && !dates[0].weekday &&
        until.match(QStringView(clause).left(dates[0].span.start)).hasMatch()) {
        details.recurrenceUntil = dates[0].last;
        return {};
    }
    if (dates.size() == 1 && dates[0].last > dates[0].first) {
        details.recurrenceUntil = dates[0].last;
        dates[0].last = dates[0].first;
    }
    if (dates.size() != 2) return dates;
    const qsizetype gapStart = dates[0].span.end;
    const QString between = clause.mid(gapStart, dates[1].span.start - gapStart);
    if (!dates[1].weekday && until.match(between).hasMatch()) {
        details.recurrenceUntil = dates[1].first;
        dates.removeLast();
    } else if (dates[0].weekday != dates[1].weekday) {
        const DateMention& day = dates[0].weekday ? dates[1] : dates[0];
        const QString before = clause.left(day.span.start);
        if (!starts.match(before).hasMatch() && !between.trimmed().isEmpty()) return dates;
        DateMention first = dates[0].weekday ? dates[0] : dates[1];
        const int weekday = first.first.dayOfWeek();
        first.first = first.last = day.first.addDays((weekday - day.first.dayOfWeek() + 7) % 7);
        first.span = {std::min(dates[0].span.start, dates[1].span.start), dates[1].span.end};
        dates = {first};
    }
    return dates;
}

/// An event as a left-out note shows it: its day and title.
QString described(const ExtractedEvent& event, const QTimeZone& zone) {
    const QDateTime start = event.startDate.toTimeZone(zone);
    return start.toString(event.allDay ? u"yyyy-MM-dd"_s : u"yyyy-MM-dd HH:mm"_s) + u' ' +
           event.title;
}

void noteDrop(QList<RuleEngine::Drop>* dropped, const QString& rule, const QString& text) {
    if (dropped) dropped->append({rule, text.trimmed().left(60)});
}

class Builder {
public:
    Builder(const QDateTime& now, const QTimeZone& zone, QList<RuleEngine::Drop>* dropped)
        : m_now(now.toUTC()),
          m_zone(zone),
          m_today(now.toTimeZone(zone).date()),
          m_dropped(dropped) {}

    /// One clause of the text, in order.
    void read(const QString& clause);
    /// A blank line: the days a paragraph named do not reach the next one (times said of no day
    /// do: "All deadlines are 23:59" above a table).
    void endParagraph();
    /// A line of neither day nor time.
    void readPlainLine(const QString& clause);
    /// The end of one message of a chat.
    void endMessage();
    /// The events of the last message that gave any: in a chat, times are proposed, turned
    /// down and settled, and the last word is the plan.
    /// `headed`: the thread starts with a title line, not with a speaker.
    QList<ExtractedEvent> finishChat(bool headed);
    QList<ExtractedEvent> finish();

private:
    void readClause(const QString& clause);
    /// Notes that `rule` left `text` out.
    void drop(const QString& rule, QStringView text);
    void dropEvent(const QString& rule, const ExtractedEvent& event);
    /// A line of the paragraph that names no day: notes for the paragraph's events.
    void addNote(const QString& line);
    void emitEvent(const Piece& piece, const ClauseDetails& details, bool holiday = false);
    void flushHeading();
    void flushStanding();
    bool readCrossDay(const QString& clause, const QList<DateMention>& dates,
                      const QList<TimeMention>& times, const ClauseDetails& details);
    bool readSharedTimes(const QString& clause, const QList<DateMention>& dates,
                         const QList<TimeMention>& times, const ClauseDetails& details);
    bool readTimesBeforeTheirDays(const QList<DateMention>& dates, const QList<TimeMention>& times,
                                  const ClauseDetails& details);
    void emitToday(const TimeMention& time, const ClauseDetails& details);
    QList<TimeMention> inTitledColumns(const QString& row, const QList<TimeMention>& times) const;
    void emitAt(const DateMention& date, const TimeMention& time, const ClauseDetails& details);

    QDateTime m_now;
    QTimeZone m_zone;
    QDate m_today;
    QList<RuleEngine::Drop>* m_dropped;
    /// The last day written, for clauses that give only a time (a timetable under a date).
    std::optional<DateMention> m_carried;
    /// A clause that gave a day and nothing else: an all-day event unless times follow it.
    std::optional<std::pair<DateMention, ClauseDetails>> m_heading;
    bool m_headingUsed = false;
    /// Times said before any day ("All deadlines are 23:59 AoE"): they hold for the days listed
    /// after them without a time of their own; said of no day, they are today's or tomorrow's.
    std::optional<std::pair<QList<TimeMention>, ClauseDetails>> m_standing;
    bool m_standingUsed = false;
    bool m_standingIsEvent = false;  ///< unused, they are today's or tomorrow's
    QString m_standingClause;        ///< where they were said, when they are no event
    QList<ExtractedEvent> m_events;
    QList<bool> m_fromHoliday;  ///< for each event: its day was named by a holiday
    QSet<QPair<QString, qint64>> m_seen;
    QSet<qint64> m_zonedStarts;
    QString m_subject;                     ///< the last heading line read
    QString m_headings;                    ///< every heading line read
    qsizetype m_messageStart = 0;          ///< the first event of the message being read
    qsizetype m_lastMessage = 0;           ///< the first event of the last message that gave any
    std::optional<QString> m_threadTitle;  ///< of the text's first clause
    /// The events of the paragraph being read start here; its labelled subject and place lines
    /// hold for them all, wherever the lines stand in it.
    qsizetype m_paragraphStart = 0;
    QString m_paragraphSubject;
    QString m_paragraphPlace;
    QStringList m_paragraphNotes;
    qsizetype m_paragraphClauses = 0;
    bool m_timetable = false;  ///< under a heading of standing hours
    QStringList m_columns;     ///< the header row of the paragraph's table
    /// The day carried when the paragraph's list began.
    std::optional<std::optional<DateMention>> m_listLead;
};

void Builder::read(const QString& clause) {
    ++m_paragraphClauses;
    // Each item of a list ("1.", "•", "（二）") starts from the day the list was introduced
    // with, not from the day of the item above it.
    static const QRegularExpression item(u'^' + listMarker());
    if (item.match(clause).hasMatch()) {
        if (!m_listLead) m_listLead = m_carried;
        m_carried = *m_listLead;
    }
    const qsizetype before = m_events.size();
    readClause(clause);
    if (!m_threadTitle) {
        m_threadTitle =
            m_events.size() > before ? m_events[before].title : rules::readClause(clause, {}).title;
    }
}

void Builder::readClause(const QString& clause) {
    QList<DateMention> dates = withoutNamingHolidays(clause, findDates(clause, m_today));
    // A stamp ("发布时间：2016-04-06 11:41") or a day more than a year past is no event: it is
    // not read, nor what follows it up to the next day (the stamp's clock time).
    for (qsizetype d = 0; d < dates.size(); ++d) {
        const std::optional<qsizetype> stamp = stampBefore(clause, dates[d]);
        if (!stamp && !(dates[d].stated && dates[d].last < m_today.addYears(-1))) continue;
        const qsizetype end = d + 1 < dates.size() ? dates[d + 1].span.start : clause.size();
        const qsizetype start = stamp.value_or(dates[d].span.start);
        drop(stamp ? u"stamp"_s : u"more than a year past"_s,
             QStringView(clause).mid(start, end - start));
        readClause(masked(clause, {Span{start, end}}));
        return;
    }
    // Two days parted by a comma are two clauses, each with its own title: 元旦放假一天，
    // 2月5日至2月12日停诊; unless one runs to the other ("July 6, 10pm through July 7").
    static const QRegularExpression runsTo(
        QStringLiteral(R"((?<![A-Za-z])(?:%1)(?![A-Za-z]))")
            .arg(Lexicon::shared().pattern(QStringLiteral("rangeWords"))),
        QRegularExpression::CaseInsensitiveOption);
    // …例会，自12月14日起: the day a repeat starts on belongs to it.
    static const QRegularExpression startsARepeat(
        QStringLiteral(R"([，,、]\s*(?:自|从|starting|beginning)\s*(?:on\s*)?$)"),
        QRegularExpression::CaseInsensitiveOption);
    for (qsizetype d = 0; d + 1 < dates.size(); ++d) {
        const QStringView between =
            QStringView(clause).mid(dates[d].span.end, dates[d + 1].span.start - dates[d].span.end);
        if (runsTo.match(between).hasMatch() || listsTogether(clause, dates[d], dates[d + 1]) ||
            startsARepeat.match(between).hasMatch()) {
            continue;
        }
        qsizetype comma = -1;
        for (const QChar mark : {u'，', u',', u'、'})
            comma = std::max(comma, between.lastIndexOf(mark));
        if (comma >= 0) {
            const qsizetype cut = dates[d].span.end + comma;
            readClause(clause.left(cut));
            readClause(clause.mid(cut + 1));
            return;
        }
    }
    const QList<ZoneMention> zones = findZones(clause);
    QList<Span> taken;
    for (const DateMention& date : dates) taken.append(date.span);
    for (const ZoneMention& zone : zones) taken.append(zone.span);
    const QList<TimeMention> written = findTimes(clause, taken, zones);
    if (dates.isEmpty() && written.isEmpty()) {
        readPlainLine(clause);
        return;
    }
    for (const TimeMention& time : written) taken.append(time.span);
    const QList<TimeMention> times =
        inTitledColumns(clause, withoutOfficeHours(clause, withoutZoneEchoes(clause, written)));
    ClauseDetails details = rules::readClause(clause, taken);
    const bool allWeekdays =
        std::all_of(dates.cbegin(), dates.cend(), [](auto& d) { return d.weekday; });
    // A line of nothing but a past day and time is a stamp ("2021-08-18 15:00:03").
    const bool stampLine =
        details.title.isEmpty() && dates.size() == 1 && dates[0].stated && times.size() == 1 &&
        instant(dates[0].first, times[0].start, times[0].zone.value_or(m_zone)) <= m_now;
    const std::pair<bool, QString> reasons[] = {
        {details.undecided, u"question or refusal"_s},
        {details.routine, u"as usual"_s},
        {offeredAsChoices(clause, dates), u"choices"_s},
        {isCondition(clause), u"condition"_s},
        {m_timetable && allWeekdays, u"standing timetable"_s},
        {stampLine, u"stamp"_s},
    };
    for (const auto& [applies, rule] : reasons) {
        if (!applies) continue;
        drop(rule, clause);
        return;
    }

    if (dates.isEmpty()) {
        // Under a heading, a line of times takes its title when it has none, or when it is one
        // row of a table of the same meeting in several zones.
        const bool zoned = !zones.isEmpty();
        if (m_heading && (details.title.isEmpty() || zoned))
            details.title = m_heading->second.title;
        if (m_heading && details.location.isEmpty()) details.location = m_heading->second.location;
        m_headingUsed = m_heading.has_value();
        flushStanding();
        if (!m_carried && !m_heading) {
            QList<TimeMention> distinct;
            for (const TimeMention& time : times) {
                const bool again = std::any_of(distinct.cbegin(), distinct.cend(), [&](auto& t) {
                    return t.start == time.start && t.zone == time.zone;
                });
                if (!again) distinct.append(time);  // 23:59 (11:59pm)
            }
            m_standing = std::pair(distinct, details);
            // A remark after the events ("I'll be asleep at 1am") or a programme of steps
            // (7:30集合 8:00下湖 11:00上岸) is no event of its own.
            m_standingIsEvent = m_events.isEmpty() && distinct.size() <= 2;
            if (!m_standingIsEvent) m_standingClause = clause;
            return;
        }
        // Under a span of days (考试时间：6月26日、27日), a grid of times (第一场8:20-10:00 …)
        // is each day's timetable, not events of the first day.
        if (!m_heading && m_carried->last > m_carried->first) {
            drop(u"times under a span of days"_s, clause);
            return;
        }
        for (const TimeMention& time : times) {
            Piece piece;
            piece.time = time;
            piece.date = m_carried->first;
            piece.dateStated = m_carried->stated;
            piece.dayPeriod = m_carried->dayPeriod;
            emitEvent(piece, details);
        }
        return;
    }
    flushHeading();
    dates = repeatDays(clause, withRangesJoined(clause, dates, times), details);
    if (dates.isEmpty()) {
        for (const TimeMention& time : times) emitToday(time, details);
        return;
    }
    m_carried = dates.last();
    if (m_standing && times.isEmpty()) {
        m_standingUsed = true;
        if (details.title.isEmpty()) details.title = m_standing->second.title;
        for (const DateMention& date : dates) {
            for (const TimeMention& time : m_standing->first) emitAt(date, time, details);
        }
        return;
    }
    flushStanding();
    const bool heading =
        times.isEmpty() && (details.title.isEmpty() || clause.trimmed().endsWith(u':') ||
                            clause.trimmed().endsWith(u'：'));
    if (heading && dates.size() == 1) {
        m_heading = std::pair(dates.first(), details);
        return;
    }
    if (readCrossDay(clause, dates, times, details)) return;
    if (readTimesBeforeTheirDays(dates, times, details)) return;
    if (readSharedTimes(clause, dates, times, details)) return;
    // Each time belongs to the last day written before it (times ahead of the first day, as
    // in "3pm tomorrow", to the first day); days listed together ("Oct. 13 and Oct. 20, from
    // 1:30 to 6") share the times of the last of them.
    QList<QList<TimeMention>> timesOf(dates.size());
    for (qsizetype d = dates.size() - 1; d >= 0; --d) {
        const qsizetype nextStart = d + 1 < dates.size() ? dates[d + 1].span.start : clause.size();
        for (const TimeMention& time : times) {
            const qsizetype at = time.span.start;
            if ((at >= dates[d].span.start || d == 0) && at < nextStart) timesOf[d].append(time);
        }
        if (timesOf[d].isEmpty() && d + 1 < dates.size() &&
            listsTogether(clause, dates[d], dates[d + 1])) {
            timesOf[d] = timesOf[d + 1];
        }
    }
    for (qsizetype d = 0; d < dates.size(); ++d) {
        Piece piece{dates[d].first, dates[d].last, dates[d].stated, dates[d].dayPeriod, {}, {}};
        // A span of days with hours (2月16日—18日 开放时间改为9:00—15:00) is the span, its
        // hours in the notes: the same hours on each day, not one event on the first.
        if (piece.lastDate > piece.date && !timesOf[d].isEmpty()) {
            ClauseDetails spanned = details;
            QStringList hours;
            for (const TimeMention& time : timesOf[d]) {
                hours.append(clause.mid(time.span.start, time.span.end - time.span.start));
            }
            spanned.notes = hours.join(u", ");
            timesOf[d].clear();
            emitEvent(piece, spanned);
            continue;
        }
        for (const TimeMention& time : timesOf[d]) {
            piece.time = time;
            emitEvent(piece, details);
        }
        if (timesOf[d].isEmpty()) emitEvent(piece, details, dates[d].holiday);
    }
}

/// A day and time to another day and time ("Fri 22:00 – Sat 02:00", "6th of July, 10:00pm
/// through the 7th of July, 4:30am") is one event.
bool Builder::readCrossDay(const QString& clause, const QList<DateMention>& dates,
                           const QList<TimeMention>& times, const ClauseDetails& details) {
    if (dates.size() != 2 || times.size() != 2 || times[0].end) return false;
    // Each side a day and a time, in either order: "at 5 p.m. on Thursday until 1 a.m. on Friday".
    const qsizetype firstEnd = std::max(dates[0].span.end, times[0].span.end);
    const qsizetype secondStart = std::min(dates[1].span.start, times[1].span.start);
    if (firstEnd > secondStart || dates[1].first <= dates[0].first) return false;
    if (!endsInRangeWord(QStringView(clause).mid(firstEnd, secondStart - firstEnd))) return false;
    TimeMention time = times[0];
    time.end = times[1].start;
    time.zone = times[1].zone ? times[1].zone : times[0].zone;
    emitEvent(
        {dates[0].first, dates[0].first, dates[0].stated, dates[0].dayPeriod, time, dates[1].first},
        details);
    return true;
}

/// "02:00 UTC Wednesday 24th July / 19:00 PDT Tuesday 23rd July": each time written just
/// before its day.
bool Builder::readTimesBeforeTheirDays(const QList<DateMention>& dates,
                                       const QList<TimeMention>& times,
                                       const ClauseDetails& details) {
    if (dates.size() < 2 || times.size() != dates.size()) return false;
    for (qsizetype i = 0; i < dates.size(); ++i) {
        const bool before = times[i].span.end <= dates[i].span.start;
        const bool afterPrevious = i == 0 || dates[i - 1].span.end <= times[i].span.start;
        if (!before || !afterPrevious) return false;
    }
    for (qsizetype i = 0; i < dates.size(); ++i) emitAt(dates[i], times[i], details);
    return true;
}

/// Days listed together with times all on one side of them ("from 9:30 to 11:30 on Monday,
/// Oct. 11 and Thursday, Oct. 14", 12月10日、11日下午3点): every time on every day. Not when
/// the days are alternatives ("Thursday or Friday").
bool Builder::readSharedTimes(const QString& clause, const QList<DateMention>& dates,
                              const QList<TimeMention>& times, const ClauseDetails& details) {
    if (dates.size() < 2 || times.isEmpty()) return false;
    const bool timesFirst = times.last().span.end <= dates.first().span.start;
    const bool timesLast = dates.last().span.end <= times.first().span.start;
    if (!timesFirst && !timesLast) return false;
    for (qsizetype d = 0; d + 1 < dates.size(); ++d) {
        if (!listsTogether(clause, dates[d], dates[d + 1])) return false;
    }
    for (const DateMention& date : dates) {
        for (const TimeMention& time : times) emitAt(date, time, details);
    }
    return true;
}

/// A table row with times in several columns ("Class start time | … | Final exam time"):
/// the times of the columns whose header names what the text is about (its headings).
QList<TimeMention> Builder::inTitledColumns(const QString& row,
                                            const QList<TimeMention>& times) const {
    // "time" and "date" are in every such header: they name no column.
    static const QRegularExpression labels(
        QStringLiteral(R"((?<![A-Za-z])(?:%1)s?(?![A-Za-z]))")
            .arg(Lexicon::shared().pattern(QStringLiteral("timeLabels"))),
        QRegularExpression::CaseInsensitiveOption);
    if (m_columns.isEmpty() || times.size() < 2) return times;
    QList<TimeMention> named;
    for (const TimeMention& time : times) {
        const qsizetype column = QStringView(row).left(time.span.start).count(u'|');
        if (column < m_columns.size() &&
            shareAWord(QString(m_columns[column]).remove(labels), m_headings)) {
            named.append(time);
        }
    }
    return named.isEmpty() ? times : named;
}

void Builder::flushHeading() {
    const bool used = std::exchange(m_headingUsed, false);
    if (!m_heading || used) {
        m_heading.reset();
        return;
    }
    const auto [date, details] = *m_heading;
    m_heading.reset();
    // A dateline ("December 14th, 2015" under a title, a notice's date at its foot) says when
    // it was written.
    if (details.title.isEmpty() && date.stated && date.last <= m_today) {
        drop(u"dateline"_s, date.first.toString(Qt::ISODate));
        return;
    }
    emitEvent({date.first, date.last, date.stated, date.dayPeriod, {}, {}}, details, date.holiday);
}

void Builder::flushStanding() {
    const bool used = std::exchange(m_standingUsed, false);
    if (m_standing && !used && m_standingIsEvent) {
        for (const TimeMention& time : m_standing->first) emitToday(time, m_standing->second);
    } else if (m_standing && !used) {
        drop(u"times of no day"_s, m_standingClause);
    }
    m_standing.reset();
}

/// `time` on the first day of `date`.
void Builder::emitAt(const DateMention& date, const TimeMention& time,
                     const ClauseDetails& details) {
    emitEvent({date.first, date.first, date.stated, date.dayPeriod, time, {}}, details);
}

/// A time said of no day: today while it is still ahead, else tomorrow.
void Builder::emitToday(const TimeMention& time, const ClauseDetails& details) {
    const QTimeZone zone = time.zone.value_or(m_zone);
    const QDate today = m_now.toTimeZone(zone).date();
    Piece piece;
    piece.time = time;
    piece.date = instant(today, time.start, zone) >= m_now ? today : today.addDays(1);
    emitEvent(piece, details);
}

void Builder::drop(const QString& rule, QStringView text) {
    noteDrop(m_dropped, rule, text.toString());
}

void Builder::dropEvent(const QString& rule, const ExtractedEvent& event) {
    noteDrop(m_dropped, rule, described(event, m_zone));
}

void Builder::emitEvent(const Piece& piece, const ClauseDetails& details, bool holiday) {
    ExtractedEvent event;
    // Without a title of its own, the heading above it names it.
    const QString title = details.title.isEmpty() ? m_subject : details.title;
    event.title = title.isEmpty() ? RuleEngine::defaultTitle() : title;
    event.fieldOrigins.insert(EventField::title, title.isEmpty()           ? FieldOrigin::defaulted
                                                 : details.title.isEmpty() ? FieldOrigin::inferred
                                                                           : FieldOrigin::source);
    const FieldOrigin dateOrigin = piece.dateStated ? FieldOrigin::source : FieldOrigin::inferred;
    if (piece.time) {
        const TimeMention& time = *piece.time;
        const QTimeZone zone = time.zone.value_or(m_zone);
        QTime start = time.start;
        bool guessed = time.guessed;
        if (!time.hasPeriod && piece.dayPeriod == u"pm" && start.hour() < 12) {
            start = start.addSecs(12 * 3600);  // 今晚8点
            guessed = false;
        }
        event.startDate = instant(piece.date, start, zone);
        const FieldOrigin startOrigin = guessed ? FieldOrigin::inferred : dateOrigin;
        event.fieldOrigins.insert(EventField::startDate, startOrigin);
        if (time.end) {
            const QDate endDay =
                piece.endDay.value_or(*time.end > start ? piece.date : piece.date.addDays(1));
            event.endDate = instant(endDay, *time.end, zone);
            event.fieldOrigins.insert(EventField::endDate, startOrigin);
        }
        if (!time.end && details.durationMinutes) {
            event.endDate = event.startDate.addSecs(*details.durationMinutes * 60);
            event.fieldOrigins.insert(EventField::endDate, startOrigin);
        }
        if (!event.endDate.isValid() || event.endDate <= event.startDate) {
            event.endDate = event.startDate.addSecs(3600);
            event.fieldOrigins.insert(EventField::endDate, FieldOrigin::defaulted);
        }
        event.fieldOrigins.insert(EventField::allDay, FieldOrigin::source);
        if (time.zone && m_zonedStarts.contains(event.startDate.toSecsSinceEpoch())) {
            dropEvent(u"same time in another zone"_s, event);
            return;
        }
        if (time.zone) m_zonedStarts.insert(event.startDate.toSecsSinceEpoch());
    } else {
        event.allDay = true;
        event.startDate = instant(piece.date, QTime(0, 0), m_zone);
        event.endDate = instant(piece.lastDate.addDays(1), QTime(0, 0), m_zone);
        event.fieldOrigins.insert(EventField::startDate, dateOrigin);
        event.fieldOrigins.insert(
            EventField::endDate, piece.lastDate != piece.date ? dateOrigin : FieldOrigin::inferred);
        event.fieldOrigins.insert(EventField::allDay, FieldOrigin::inferred);
    }
    if (!event.startDate.isValid() || !event.endDate.isValid()) return;
    const QPair<QString, qint64> key(event.title, event.startDate.toSecsSinceEpoch());
    if (m_seen.contains(key)) {
        dropEvent(u"written twice"_s, event);
        return;
    }
    m_seen.insert(key);
    event.notes = details.notes;
    if (!event.notes.isEmpty()) event.fieldOrigins.insert(EventField::notes, FieldOrigin::source);
    if (!details.location.isEmpty()) {
        event.location = details.location;
        event.fieldOrigins.insert(EventField::location, FieldOrigin::source);
    }
    if (details.reminderMinutes) {
        event.reminderMinutes = details.reminderMinutes;
        event.fieldOrigins.insert(EventField::reminder, FieldOrigin::source);
    }
    if (details.recurrence) {
        event.recurrence = details.recurrence;
        event.recurrenceInterval = details.recurrenceInterval;
        if (details.recurrenceUntil) {
            event.recurrenceEnd = RecurrenceEnd::onDay(*details.recurrenceUntil);
        } else if (details.recurrenceCount) {
            event.recurrenceEnd = RecurrenceEnd::after(*details.recurrenceCount);
        }
        event.fieldOrigins.insert(EventField::recurrence, FieldOrigin::source);
    }
    m_events.append(event);
    m_fromHoliday.append(holiday);
}

/// A day written with its time and named again without one is one happening: the timed event
/// wins, taking the all-day one's title when it has none of its own. (Several all-day events on
/// one day stay: a list of things due that day.)
QList<ExtractedEvent> withoutRepeatedDays(QList<ExtractedEvent> events, const QTimeZone& zone,
                                          QList<RuleEngine::Drop>* dropped) {
    const auto day = [&](const ExtractedEvent& event) {
        return event.startDate.toTimeZone(zone).date();
    };
    const auto singleDay = [&](const ExtractedEvent& event) {
        return event.allDay && day(event).addDays(1) == event.endDate.toTimeZone(zone).date();
    };
    QHash<QDate, qsizetype> timedOn;
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (!events[i].allDay && !timedOn.contains(day(events[i])))
            timedOn.insert(day(events[i]), i);
    }
    QList<bool> merged(events.size(), false);
    for (qsizetype i = 0; i < events.size(); ++i) {
        const ExtractedEvent& event = events[i];
        const auto timed = singleDay(event) ? timedOn.constFind(day(event)) : timedOn.cend();
        if (timed == timedOn.cend()) continue;
        ExtractedEvent& other = events[*timed];
        const auto untitledOne = [](const ExtractedEvent& e) {
            return e.fieldOrigins.value(EventField::title) == FieldOrigin::defaulted;
        };
        const bool untitled = untitledOne(other) || untitledOne(event);
        // A long all-day title is a sentence that mentions the day; a short one may be
        // something else due that day.
        const bool sentence = event.title.size() > 12;
        if (!untitled && !sentence && !shareAWord(event.title, other.title)) continue;
        merged[i] = true;
        noteDrop(dropped, u"day named again"_s, described(event, zone));
        if (untitledOne(other) && !untitledOne(event)) {
            other.title = event.title;
            other.fieldOrigins.insert(EventField::title, FieldOrigin::source);
        }
    }
    // The same span of days written twice (in the title line and the text) is one.
    QHash<QPair<qint64, qint64>, QString> spans;
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (!events[i].allDay || singleDay(events[i])) continue;
        const QPair<qint64, qint64> span(events[i].startDate.toSecsSinceEpoch(),
                                         events[i].endDate.toSecsSinceEpoch());
        if (spans.contains(span) && shareAWord(spans.value(span), events[i].title)) {
            merged[i] = true;
            noteDrop(dropped, u"days named again"_s, described(events[i], zone));
        } else if (!spans.contains(span)) {
            spans.insert(span, events[i].title);
        }
    }
    QList<ExtractedEvent> kept;
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (!merged[i]) kept.append(std::move(events[i]));
    }
    return kept;
}

void Builder::readPlainLine(const QString& clause) {
    if (clause.count(u'|') >= 2) {
        m_columns = clause.split(u'|');
        return;
    }
    // A short line is a heading: the title of what follows it that has none of its own. A
    // labelled one (主题：…, 地点：…) names the events of its paragraph. The other lines are
    // the paragraph's notes (参加人员：…, "Bring your laptop").
    const bool maybeLabelled = clause.contains(u':') || clause.contains(u'：');
    if (clause.trimmed().size() > kMaxSubject && !maybeLabelled) {
        addNote(clause);
        return;
    }
    const ClauseDetails details = rules::readClause(clause, {});
    if (details.subjectLine && !details.title.isEmpty()) {
        m_paragraphSubject = m_subject = details.title;
    } else if (!details.location.isEmpty() && details.title.isEmpty()) {
        m_paragraphPlace = details.location;
    } else if (clause.trimmed().size() <= kMaxSubject && !details.title.isEmpty()) {
        // "Fall 2023", 2024年春季: a heading that names a term says when, not what.
        static const QRegularExpression term(
            QStringLiteral(R"(^\s*(?:\S+\s+)?(?:19|20)\d\d(?:年)?\s*\S{0,2}\s*$)"));
        if (!term.match(details.title).hasMatch()) m_subject = details.title;
        m_headings += u'\n' + details.title;
        // Under "Usual opening hours", the weekdays and their hours are a timetable.
        m_timetable = details.routine;
    } else if (!details.title.isEmpty()) {
        addNote(clause);
    }
}

void Builder::addNote(const QString& line) {
    // What is left of a stamp's line (masked) is no note; blanked addresses leave gaps.
    if (!line.contains(kMask)) m_paragraphNotes.append(line.simplified());
}

void Builder::endParagraph() {
    flushHeading();
    for (qsizetype i = m_paragraphStart; i < m_events.size(); ++i) {
        ExtractedEvent& event = m_events[i];
        if (!m_paragraphSubject.isEmpty() &&
            event.fieldOrigins.value(EventField::title) != FieldOrigin::source) {
            event.title = m_paragraphSubject;
            event.fieldOrigins.insert(EventField::title, FieldOrigin::source);
        }
        if (!m_paragraphPlace.isEmpty() && event.location.isEmpty()) {
            event.location = m_paragraphPlace;
            event.fieldOrigins.insert(EventField::location, FieldOrigin::source);
        }
        if (!m_paragraphNotes.isEmpty() && event.notes.isEmpty()) {
            const QString notes = m_paragraphNotes.join(u'\n');
            event.notes = notes.size() > kMaxNotes ? leftWhole(notes, kMaxNotes) + u'…' : notes;
            event.fieldOrigins.insert(EventField::notes, FieldOrigin::source);
        }
    }
    m_paragraphNotes.clear();
    m_paragraphStart = m_events.size();
    m_paragraphSubject.clear();
    m_paragraphPlace.clear();
    // A title line with its day heads the paragraph below it.
    if (std::exchange(m_paragraphClauses, 0) != 1) m_carried.reset();
    m_listLead.reset();
    m_timetable = false;
    m_columns.clear();
}

void Builder::endMessage() {
    flushHeading();
    if (m_events.size() > m_messageStart) m_lastMessage = m_messageStart;
    m_messageStart = m_events.size();
}

QList<ExtractedEvent> Builder::finishChat(bool headed) {
    endMessage();
    for (qsizetype i = 0; i < m_lastMessage; ++i) dropEvent(u"earlier chat message"_s, m_events[i]);
    m_events = m_events.mid(m_lastMessage);
    m_paragraphNotes.clear();  // a chat's other lines are talk, not notes
    // A thread under a title ("JTC meeting this week") is about what the title names; the
    // message that settles it says "Great - Thursday at 1PM then".
    if (headed && m_threadTitle && !m_threadTitle->isEmpty()) {
        for (ExtractedEvent& event : m_events) {
            event.title = *m_threadTitle;
            event.fieldOrigins.insert(EventField::title, FieldOrigin::source);
        }
    }
    m_fromHoliday = m_fromHoliday.mid(m_lastMessage);
    return finish();
}

QList<ExtractedEvent> Builder::finish() {
    endParagraph();
    flushStanding();
    // A holiday named in passing (…清明节、劳动节前后的安排如下) is no event of its own when the
    // text writes that day out as well.
    QSet<QDate> written;
    for (qsizetype i = 0; i < m_events.size(); ++i) {
        if (m_fromHoliday[i]) continue;
        const QDate last = m_events[i].endDate.addSecs(-1).toTimeZone(m_zone).date();
        QDate day = m_events[i].startDate.toTimeZone(m_zone).date();
        for (int n = 0; day <= last && n < 62; day = day.addDays(1), ++n) written.insert(day);
    }
    // A span titled as a section (2月16日—21日的安排) heads the events after it within it.
    static const QRegularExpression section(
        QStringLiteral(R"((?:%1)\W*$)")
            .arg(Lexicon::shared().pattern(QStringLiteral("sectionWords"))),
        QRegularExpression::CaseInsensitiveOption);
    const auto heads = [&](qsizetype i) {
        const ExtractedEvent& span = m_events[i];
        if (!span.allDay || !section.match(span.title).hasMatch()) return false;
        for (qsizetype j = i + 1; j < m_events.size(); ++j) {
            if (m_events[j].startDate >= span.startDate && m_events[j].startDate < span.endDate)
                return true;
        }
        return false;
    };
    QList<ExtractedEvent> events;
    for (qsizetype i = 0; i < m_events.size(); ++i) {
        const bool passing =
            m_fromHoliday[i] && written.contains(m_events[i].startDate.toTimeZone(m_zone).date());
        if (passing) {
            dropEvent(u"holiday named in passing"_s, m_events[i]);
        } else if (heads(i)) {
            dropEvent(u"section heading"_s, m_events[i]);
        } else {
            events.append(m_events[i]);
        }
    }
    return withoutRepeatedDays(events, m_zone, m_dropped);
}

}  // namespace

QList<ExtractedEvent> RuleEngine::extract(const QString& input, const QDateTime& now,
                                          const QTimeZone& zone, QList<Drop>* dropped) {
    if (!now.isValid() || !zone.isValid()) return {};
    Builder builder(now, zone, dropped);
    const QString text = withoutLinks(halfWidth(input));
    if (const std::optional<QString> chat = withoutSpeakers(text)) {
        for (const QString& message : chat->split(u'\n')) {
            for (const QString& clause : clausesOf(message)) builder.read(clause);
            builder.endMessage();
        }
        const auto firstLine = [](const QString& lines) {
            for (const QStringView line : QStringView(lines).split(u'\n')) {
                if (!line.trimmed().isEmpty()) return line.trimmed().toString();
            }
            return QString();
        };
        return builder.finishChat(firstLine(*chat) == firstLine(text));
    }
    static const QRegularExpression blankLine(QStringLiteral(R"(\n[ \t\r]*\n)"));
    for (const QString& paragraph : text.split(blankLine)) {
        for (const QString& clause : clausesOf(paragraph)) builder.read(clause);
        builder.endParagraph();
    }
    return builder.finish();
}

QString RuleEngine::defaultTitle() {
    return QStringLiteral("日程");
}

}  // namespace zorbel
