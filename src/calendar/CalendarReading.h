#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <memory>

#include "calendar/EventMatching.h"

struct icalcomponent_impl;

namespace zorbel {

/// One parsed iCalendar object (a VCALENDAR, as a vdir file or a CalDAV resource holds it).
/// Not safe to read from two threads at once.
class ParsedCalendar {
public:
    /// Nothing when `data` is no iCalendar object.
    static std::unique_ptr<ParsedCalendar> parse(const QByteArray& data);
    ~ParsedCalendar();

    /// Its events that share time with [`from`, `to`): every VEVENT, a repeating one expanded
    /// into its occurrences (RRULE and EXDATE; an occurrence moved by a RECURRENCE-ID event is
    /// listed where it was moved to). Cancelled events and occurrences are left out. Times with
    /// a TZID are read in the object's VTIMEZONE, else in the IANA zone of that name; floating
    /// times and all-day dates are read in the system time zone at the time of the call.
    QList<ExistingEvent> eventsBetween(const QDateTime& from, const QDateTime& to) const;

private:
    explicit ParsedCalendar(icalcomponent_impl* root) : m_root(root) {}
    icalcomponent_impl* m_root;
};

}  // namespace zorbel
