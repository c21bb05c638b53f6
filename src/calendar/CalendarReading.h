#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <memory>
#include <vector>

#include "calendar/EventMatching.h"

struct icalcomponent_impl;

namespace zorbel {

/// One parsed iCalendar object (a VCALENDAR, as a vdir file or a CalDAV resource holds it).
/// Not safe to read from two threads at once.
class ParsedCalendar {
public:
    /// Nothing when `data` is no iCalendar object. Every event is read here once; asking for
    /// a range then only expands the repeating ones.
    static std::unique_ptr<ParsedCalendar> parse(const QByteArray& data);
    ~ParsedCalendar();

    struct Series;

    /// Its events that share time with [`from`, `to`): every VEVENT, a repeating one expanded
    /// into its occurrences (RRULE and EXDATE; an occurrence moved by a RECURRENCE-ID event is
    /// listed where it was moved to). Cancelled events and occurrences are left out. Times with
    /// a TZID are read in the object's VTIMEZONE, else in the IANA zone of that name; floating
    /// times and all-day dates are read in the system time zone in force when it was parsed.
    QList<ExistingEvent> eventsBetween(const QDateTime& from, const QDateTime& to) const;

private:
    explicit ParsedCalendar(icalcomponent_impl* root);
    icalcomponent_impl* m_root;
    std::vector<Series> m_series;
};

}  // namespace zorbel
