#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include "core/ExtractedEvent.h"

namespace zorbel {

/// An event a calendar already holds, as far as comparing candidates with it needs. Each
/// occurrence of a repeating event is one entry with the UID of its series; cancelled events
/// (STATUS:CANCELLED) are not listed.
struct ExistingEvent {
    QString uid;
    QString title;
    QDateTime start;  ///< timed: the instant; all-day: 00:00 of its first day, system time zone
    QDateTime end;    ///< exclusive
    bool allDay = false;
    bool busy = true;        ///< false for TRANSP:TRANSPARENT
    bool recurring = false;  ///< an occurrence of a repeating event
    QString resource;        ///< where the store holds it: the vdir file name, the CalDAV href
    QString etag;            ///< the version read: a hash of the file, the CalDAV ETag
    bool operator==(const ExistingEvent&) const = default;
};

/// How a candidate stands to what the calendar holds.
enum class CalendarRelation {
    none,          ///< nothing related: a new event
    alreadyThere,  ///< the same event is in the calendar
    moves,         ///< the text moves an existing event to the candidate's time
    cancels,       ///< the text calls an existing event off
    overlaps,      ///< a busy event is in the calendar at the same time
};

/// The name tools print ("none", "alreadyThere", "moves", "cancels", "overlaps").
const char* caseName(CalendarRelation relation);

/// A candidate's relation and the existing event it concerns (an index into the list
/// classified against; -1 for `none`).
struct CalendarMatch {
    CalendarRelation relation = CalendarRelation::none;
    qsizetype existing = -1;
    bool operator==(const CalendarMatch&) const = default;
};

namespace EventMatching {

/// How far around a candidate an event it moves or cancels may lie.
inline constexpr qint64 changeWindowDays = 14;

/// `title` as titles are compared: compatibility forms folded (full width, ligatures), case
/// folded, without spaces, punctuation and symbols.
QString normalisedTitle(const QString& title);

/// Two titles name the same event: their normalised forms are equal or one contains the other;
/// an empty normalised title matches nothing.
bool titlesMatch(const QString& left, const QString& right);

/// The words that make a text a change or a cancellation of something already announced.
bool announcesChange(const QString& text);
bool announcesCancellation(const QString& text);

/// The span of time to read from the calendar for `candidates`: one day on either side of them,
/// or `changeWindowDays` when the source text of one moves or cancels something. Invalid (null
/// instants) when there are no candidates.
struct Range {
    QDateTime from;
    QDateTime to;
};
Range readingRange(const QList<ExtractedEvent>& candidates);

/// Whether `match` is a move or a cancellation that can be applied to the event it concerns:
/// a single event, not an occurrence of a repeating one (those are added as new events).
bool isChange(const CalendarMatch& match, const QList<ExistingEvent>& existing);

/// Each candidate's relation to `existing`, in candidate order. A candidate's source text decides
/// whether it moves or cancels. In order of precedence:
/// cancels (a matching title within the change window, the nearest in time), already there
/// (same start — same instant, or for an all-day candidate the same day — and a matching
/// title), moves
/// (a matching title at another time within the change window, the nearest), overlaps (the
/// earliest busy timed event that shares time with a timed candidate).
QList<CalendarMatch> classify(const QList<ExtractedEvent>& candidates,
                              const QList<ExistingEvent>& existing);

}  // namespace EventMatching

}  // namespace zorbel
