#pragma once

// What the rules find in one clause of text, before events are made of it. Each rule file
// reads one concern: dates (DateRules), clock times (TimeRules), zones (ZoneRules), holidays
// (HolidayRules) and the rest of the clause (ClauseRules).

#include <QDate>
#include <QList>
#include <QString>
#include <QTime>
#include <QTimeZone>
#include <optional>

namespace zorbel::rules {

/// A stretch of the clause, [start, end).
struct Span {
    qsizetype start = 0;
    qsizetype end = 0;
    bool overlaps(const Span& other) const { return start < other.end && other.start < end; }
};

/// A day, or a span of days, the clause names.
struct DateMention {
    Span span;
    QDate first;
    QDate last;            ///< the same as `first` unless a span of days is written
    bool stated = false;   ///< year, month and day all written
    QString dayPeriod;     ///< "pm" for words such as 今晚 / tonight
    bool weekday = false;  ///< named by its weekday only
    bool holiday = false;  ///< named by a holiday (元旦, Christmas)
};

/// A clock time or a range of them.
struct TimeMention {
    Span span;
    QTime start;
    std::optional<QTime> end;
    bool hasPeriod = false;  ///< am/pm or 上午/下午... written, or a 24-hour clock
    bool guessed = false;    ///< the half of the day was guessed (下午 for a bare 3点)
    std::optional<QTimeZone> zone;
};

/// A time zone written in the clause.
struct ZoneMention {
    Span span;
    QTimeZone zone;
};

/// The parts of the clause that are not dates or times.
struct ClauseDetails {
    QString title;
    QString location;
    QString notes;
    std::optional<qint64> reminderMinutes;
    std::optional<qint64> durationMinutes;  ///< "about 2 hours", 约90分钟
    std::optional<QString> recurrence;      ///< "daily", "weekly", "monthly" or "yearly"
    int recurrenceInterval = 1;             ///< every other week: 2
    std::optional<int> recurrenceCount;     ///< 共8次, "for 6 weeks"
    std::optional<QDate> recurrenceUntil;   ///< 至12月20日, "until December 20"
    bool undecided = false;  ///< a question or a refusal ("周五有空吗", "周五不行")
    bool routine = false;  ///< as usual that day ("照常开放"), or a season's hours ("5月至9月")
    bool subjectLine = false;  ///< labelled as the subject ("主题：…", "Topic: …")
};

/// The days named in `clause`, left to right, without overlaps. `today` fixes missing years
/// and relative words.
QList<DateMention> findDates(const QString& clause, const QDate& today);
/// Where the stamp written right before `date` starts ("发布时间：", "Posted on"): the day is
/// when something was published or began, not an event.
std::optional<qsizetype> stampBefore(const QString& clause, const DateMention& date);
/// The time zones named in `clause`.
QList<ZoneMention> findZones(const QString& clause);
/// The clock times in `clause`, outside the `taken` spans, each with the zone written beside
/// it (or the only zone of the clause).
QList<TimeMention> findTimes(const QString& clause, const QList<Span>& taken,
                             const QList<ZoneMention>& zones);
/// The day of a holiday (a value of the "holidays" word list) on or after `today`.
std::optional<QDate> holidayOnOrAfter(const QString& rule, const QDate& today);
/// Title, location, reminder and repetition from `clause`, ignoring the `taken` spans.
ClauseDetails readClause(const QString& clause, const QList<Span>& taken);

/// The brackets of a desk's opening hours (（工作日8:00-12:00）, "(office hours 9-5)").
QList<Span> officeHours(const QString& clause);

/// The mark of a list item ("1.", "•", "（二）", "三、") as a regular expression.
QString listMarker();

/// What `masked` writes over a taken span: no rule reads across it.
inline constexpr QChar kMask = u'\x01';

/// Replaces the `taken` spans of `text` with kMask.
QString masked(QString text, const QList<Span>& taken);

}  // namespace zorbel::rules
