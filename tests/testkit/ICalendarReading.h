#pragma once

#include <libical/ical.h>
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <memory>

namespace zorbel::test {

/// The first event of a VCALENDAR as libical reads it, zones resolved through the object's own
/// VTIMEZONE components.
struct ReadEvent {
    bool parsed = false;
    int vtimezones = 0;
    QString startTzid;  ///< the TZID parameter of DTSTART, empty for none
    QString endTzid;
    bool startIsUtc = false;
    QDateTime end;
    /// DTSTART and the next occurrences by its RRULE (DTSTART alone without one), as instants.
    QList<QDateTime> starts;
};

inline QDateTime instantOf(icaltimetype time) {
    return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(time, time.zone), Qt::UTC);
}

inline QString tzidOf(icalcomponent* event, icalproperty_kind kind) {
    icalproperty* property = icalcomponent_get_first_property(event, kind);
    icalparameter* tzid =
        property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
    return tzid ? QString::fromUtf8(icalparameter_get_tzid(tzid)) : QString();
}

/// Reads `text`, expanding a repeat rule to `occurrences` starts.
inline ReadEvent readFirstEvent(const QByteArray& text, int occurrences) {
    ReadEvent read;
    const std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> calendar(
        icalparser_parse_string(text.constData()), icalcomponent_free);
    icalcomponent* event =
        calendar ? icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT)
                 : nullptr;
    if (!event) return read;
    read.parsed = true;
    read.vtimezones = icalcomponent_count_components(calendar.get(), ICAL_VTIMEZONE_COMPONENT);
    read.startTzid = tzidOf(event, ICAL_DTSTART_PROPERTY);
    read.endTzid = tzidOf(event, ICAL_DTEND_PROPERTY);
    const icaltimetype start = icalcomponent_get_dtstart(event);
    read.startIsUtc = icaltime_is_utc(start);
    read.end = instantOf(icalcomponent_get_dtend(event));
    icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (!rrule) {
        read.starts.append(instantOf(start));
        return read;
    }
    icalrecur_iterator* iterator = icalrecur_iterator_new(icalproperty_get_rrule(rrule), start);
    for (int i = 0; i < occurrences; ++i) {
        icaltimetype next = icalrecur_iterator_next(iterator);
        if (icaltime_is_null_time(next)) break;
        next.zone = start.zone;
        read.starts.append(instantOf(next));
    }
    icalrecur_iterator_free(iterator);
    return read;
}

}  // namespace zorbel::test
