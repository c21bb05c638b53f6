#include "calendar/CalendarReading.h"

#include <libical/ical.h>
#include <QHash>
#include <QSet>
#include <QTimeZone>
#include <memory>

#include "support/AppLogger.h"

namespace zorbel {

namespace {

// A repeat rule that never reaches the range (every minute since 1970) stops here.
constexpr int maxOccurrencesScanned = 100000;

/// Reads the times of one VCALENDAR: the zones its TZIDs name.
class TimeReader {
public:
    explicit TimeReader(icalcomponent* calendar) : m_calendar(calendar) {}

    /// The instant of `value` read from `property` (its TZID). All-day values give 00:00 of the
    /// day in the system time zone.
    QDateTime instant(icaltimetype value, icalproperty* property) const {
        if (value.is_date) return QDateTime(QDate(value.year, value.month, value.day), QTime(0, 0));
        const QDate day(value.year, value.month, value.day);
        const QTime time(value.hour, value.minute, value.second);
        if (icaltime_is_utc(value)) return QDateTime(day, time, Qt::UTC);
        icalparameter* tzid =
            property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
        if (!tzid) return QDateTime(day, time);
        const char* name = icalparameter_get_tzid(tzid);
        icaltimezone* zone = icalcomponent_get_timezone(m_calendar, name);
        if (zone) {
            value.zone = zone;
            return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(value, zone), Qt::UTC);
        }
        const QTimeZone qtZone(name);
        return qtZone.isValid() ? QDateTime(day, time, qtZone) : QDateTime(day, time);
    }

private:
    icalcomponent* m_calendar;
};

QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

bool sharesTime(const ExistingEvent& event, const QDateTime& from, const QDateTime& to) {
    return event.start < to &&
           (event.end > from || (event.end == event.start && event.start >= from));
}

/// `instant` as a value of the same kind as `start`: a day, a UTC time, a time in its zone, or
/// a floating local time.
icaltimetype sameKindAs(const icaltimetype& start, const QDateTime& instant) {
    const QDateTime local = instant.toLocalTime();
    if (start.is_date || (!icaltime_is_utc(start) && !start.zone)) {
        icaltimetype value = start;
        value.year = local.date().year();
        value.month = local.date().month();
        value.day = local.date().day();
        if (!start.is_date) {
            value.hour = local.time().hour();
            value.minute = local.time().minute();
            value.second = local.time().second();
        }
        return value;
    }
    const icaltimezone* zone =
        icaltime_is_utc(start) ? icaltimezone_get_utc_timezone() : start.zone;
    return icaltime_from_timet_with_zone(static_cast<time_t>(instant.toSecsSinceEpoch()), 0, zone);
}

bool cancelled(icalcomponent* vevent) {
    return icalcomponent_get_first_property(vevent, ICAL_STATUS_PROPERTY) &&
           icalcomponent_get_status(vevent) == ICAL_STATUS_CANCELLED;
}

}  // namespace

/// One VEVENT as read once: its first occurrence, and for a repeating one what makes the rest.
struct ParsedCalendar::Series {
    ExistingEvent first;
    qint64 lengthSecs = 0;
    icalproperty* dtstart = nullptr;  ///< owned by the parsed calendar
    QList<icalrecurrencetype> rules;  ///< empty for a single event
    QSet<QDateTime> excluded;         ///< EXDATEs and the occurrences RECURRENCE-ID events move
};

namespace {

ParsedCalendar::Series seriesOf(icalcomponent* vevent, const TimeReader& times) {
    icalproperty* dtstart = icalcomponent_get_first_property(vevent, ICAL_DTSTART_PROPERTY);
    const icaltimetype start = icalproperty_get_dtstart(dtstart);
    ParsedCalendar::Series series;
    series.dtstart = dtstart;
    series.first.uid = text(icalcomponent_get_uid(vevent));
    series.first.title = text(icalcomponent_get_summary(vevent));
    series.first.allDay = start.is_date;
    series.first.start = times.instant(start, dtstart);
    icalproperty* transp = icalcomponent_get_first_property(vevent, ICAL_TRANSP_PROPERTY);
    series.first.busy = !transp || icalproperty_get_transp(transp) != ICAL_TRANSP_TRANSPARENT;
    if (icalproperty* dtend = icalcomponent_get_first_property(vevent, ICAL_DTEND_PROPERTY)) {
        series.lengthSecs =
            series.first.start.secsTo(times.instant(icalproperty_get_dtend(dtend), dtend));
    } else if (icalproperty* duration =
                   icalcomponent_get_first_property(vevent, ICAL_DURATION_PROPERTY)) {
        series.lengthSecs = icaldurationtype_as_int(icalproperty_get_duration(duration));
    } else if (start.is_date) {
        series.lengthSecs = 86400;
    }
    series.lengthSecs = std::max<qint64>(series.lengthSecs, 0);
    series.first.end = series.first.start.addSecs(series.lengthSecs);
    if (icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY)) return series;
    for (icalproperty* rrule = icalcomponent_get_first_property(vevent, ICAL_RRULE_PROPERTY); rrule;
         rrule = icalcomponent_get_next_property(vevent, ICAL_RRULE_PROPERTY)) {
        series.rules.append(icalproperty_get_rrule(rrule));
    }
    for (icalproperty* exdate = icalcomponent_get_first_property(vevent, ICAL_EXDATE_PROPERTY);
         exdate; exdate = icalcomponent_get_next_property(vevent, ICAL_EXDATE_PROPERTY)) {
        series.excluded.insert(times.instant(icalproperty_get_exdate(exdate), exdate));
    }
    return series;
}

}  // namespace

std::unique_ptr<ParsedCalendar> ParsedCalendar::parse(const QByteArray& data) {
    icalcomponent* root = icalparser_parse_string(data.constData());
    if (!root || icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT) {
        if (root) icalcomponent_free(root);
        AppLogger::shared().record(
            AppLogEvent::failure(QStringLiteral("unreadableCalendarObject")));
        return nullptr;
    }
    std::unique_ptr<ParsedCalendar> parsed(new ParsedCalendar(root));
    const TimeReader times(root);
    // Occurrences that a RECURRENCE-ID event replaces, by UID.
    QHash<QString, QSet<QDateTime>> moved;
    for (icalcomponent* vevent = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT);
         vevent; vevent = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        if (!icalcomponent_get_first_property(vevent, ICAL_DTSTART_PROPERTY)) continue;
        if (icalproperty* id =
                icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY)) {
            moved[text(icalcomponent_get_uid(vevent))].insert(
                times.instant(icalproperty_get_recurrenceid(id), id));
        }
        if (!cancelled(vevent)) parsed->m_series.push_back(seriesOf(vevent, times));
    }
    for (Series& series : parsed->m_series) {
        if (!series.rules.isEmpty()) series.excluded.unite(moved.value(series.first.uid));
    }
    return parsed;
}

ParsedCalendar::ParsedCalendar(icalcomponent_impl* root) : m_root(root) {}

ParsedCalendar::~ParsedCalendar() {
    icalcomponent_free(m_root);
}

QList<ExistingEvent> ParsedCalendar::eventsBetween(const QDateTime& from,
                                                   const QDateTime& to) const {
    const TimeReader times(m_root);
    QList<ExistingEvent> events;
    for (const Series& series : m_series) {
        if (series.rules.isEmpty()) {
            if (sharesTime(series.first, from, to)) events.append(series.first);
            continue;
        }
        const icaltimetype start = icalproperty_get_dtstart(series.dtstart);
        for (const icalrecurrencetype& rule : series.rules) {
            const std::unique_ptr<icalrecur_iterator, void (*)(icalrecur_iterator*)> iterator(
                icalrecur_iterator_new(rule, start), icalrecur_iterator_free);
            if (!iterator) continue;
            // Far into a rule without a count, the iteration starts a day before the range (the
            // rule's own first instance there is found by the iterator, not computed here).
            if (rule.count == 0 && series.first.start.daysTo(from) > 2) {
                icalrecur_iterator_set_start(
                    iterator.get(), sameKindAs(start, from.addSecs(-series.lengthSecs - 86400)));
            }
            for (int scanned = 0; scanned < maxOccurrencesScanned; ++scanned) {
                const icaltimetype next = icalrecur_iterator_next(iterator.get());
                if (icaltime_is_null_time(next)) break;
                ExistingEvent occurrence = series.first;
                occurrence.recurring = true;
                occurrence.start = times.instant(next, series.dtstart);
                if (occurrence.start >= to) break;
                occurrence.end = occurrence.start.addSecs(series.lengthSecs);
                if (!series.excluded.contains(occurrence.start) &&
                    sharesTime(occurrence, from, to)) {
                    events.append(occurrence);
                }
            }
        }
    }
    return events;
}

}  // namespace zorbel
