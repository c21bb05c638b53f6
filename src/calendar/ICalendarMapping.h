#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "core/ExtractedEvent.h"

namespace zorbel::ICalendarMapping {

/// The days an all-day event covers, in the system time zone; `endDay` is exclusive.
struct AllDaySpan {
    QDate firstDay;
    QDate endDay;
    bool operator==(const AllDaySpan&) const = default;
};

/// The all-day rule: from the day holding `start` to the day after the one holding `end`.
/// One exception: an `end` exactly at the start of a day and later than `start` is itself the
/// exclusive end (3 March 00:00 to 4 March 00:00 is one day, not two).
AllDaySpan allDaySpan(const QDateTime& start, const QDateTime& end);

/// A new event identifier (a UUID without braces), also the vdir file name and CalDAV resource.
QString newUid();

/// One VCALENDAR holding one VEVENT for `event` with the given UID: title, location and notes
/// (each left out when empty); start and end, or DATE values by the all-day rule; one VALARM at
/// -60 x minutes before the start; one RRULE (daily for an unknown value) with INTERVAL when
/// above one and UNTIL (a DATE for an all-day event, else 23:59:59 of the last day in `zoneId`
/// as UTC) or COUNT;
/// TRANSP:TRANSPARENT for "free", STATUS:TENTATIVE for "tentative", TRANSP:OPAQUE for any other
/// availability.
///
/// Timed start and end are wall-clock times in the IANA zone `zoneId` with its TZID, and the
/// VCALENDAR holds that zone's VTIMEZONE, so that a repeat rule keeps the wall-clock time across
/// daylight saving changes. They are UTC when `zoneId` is no IANA zone name (a POSIX rule such
/// as "XYZ+3"), is UTC, or the wall-clock time occurs twice (the hour when clocks go back).
QByteArray eventObject(const ExtractedEvent& event, const QString& uid,
                       const QByteArray& zoneId = QTimeZone::systemTimeZoneId());

/// One VCALENDAR holding a VEVENT for each event (each with a new UID), in order, as above.
QByteArray calendarObject(const QList<ExtractedEvent>& events,
                          const QByteArray& zoneId = QTimeZone::systemTimeZoneId());

/// `object` (a VCALENDAR as a store holds it) with the VEVENT of `uid` that is no single
/// occurrence (no RECURRENCE-ID) moved to the start and end of `moved` (DATE values for an
/// all-day event, UTC times otherwise; a DURATION becomes a DTEND), its SEQUENCE one higher
/// and its DTSTAMP and LAST-MODIFIED now; everything else as it was, the RRULE included. Nothing
/// when there is no such VEVENT.
std::optional<QByteArray> movedObject(const QByteArray& object, const QString& uid,
                                      const ExtractedEvent& moved);

/// The same VEVENT marked STATUS:CANCELLED, SEQUENCE one higher.
std::optional<QByteArray> cancelledObject(const QByteArray& object, const QString& uid);

}  // namespace zorbel::ICalendarMapping
