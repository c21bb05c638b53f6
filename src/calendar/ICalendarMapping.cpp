#include "calendar/ICalendarMapping.h"

#include <libical/ical.h>
#include <QTimeZone>
#include <QUuid>
#include <algorithm>
#include <memory>

#include "support/Text.h"

namespace zorbel::ICalendarMapping {

namespace {

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

icaltimetype utcTime(const QDateTime& instant) {
    return icaltime_from_timet_with_zone(static_cast<time_t>(instant.toSecsSinceEpoch()), 0,
                                         icaltimezone_get_utc_timezone());
}

/// The zone timed events are written in: an IANA zone with libical's data for its VTIMEZONE.
/// Invalid when the zone name is no IANA name libical knows (a POSIX rule such as "XYZ+3") or
/// is UTC itself; timed events are then written as UTC instants.
struct WritingZone {
    QTimeZone zone;
    icaltimezone* data = nullptr;
    bool isValid() const { return data != nullptr; }
};

WritingZone writingZone(const QByteArray& zoneId) {
    const QTimeZone zone(zoneId);
    icaltimezone* data =
        zone.isValid() ? icaltimezone_get_builtin_timezone(zoneId.constData()) : nullptr;
    if (data == icaltimezone_get_utc_timezone()) return {};
    return {zone, data};
}

/// Whether the wall-clock time of `instant` in `zone` also names another instant, as in the
/// hour repeated when clocks go back. Readers resolve such a time differently, so it is
/// written as UTC. Offsets change by at most a few hours and at most once in half a day.
bool wallClockRepeats(const QDateTime& instant, const QTimeZone& zone) {
    const int offset = zone.offsetFromUtc(instant);
    for (const qint64 step : {-12 * 3600, 12 * 3600}) {
        const int other = zone.offsetFromUtc(instant.addSecs(step));
        if (other != offset && zone.offsetFromUtc(instant.addSecs(offset - other)) == other) {
            return true;
        }
    }
    return false;
}

icaltimetype dateValue(const QDate& day) {
    icaltimetype value = icaltime_null_date();
    value.year = day.year();
    value.month = day.month();
    value.day = day.day();
    return value;
}

/// Whether `event` is written in `zone`: it is timed and neither its start nor its end has a
/// wall-clock time there that occurs twice; otherwise it is written with DATE values or in UTC.
bool writesInZone(const ExtractedEvent& event, const WritingZone& zone) {
    return zone.isValid() && !event.allDay && !wallClockRepeats(event.startDate, zone.zone) &&
           !wallClockRepeats(event.endDate, zone.zone);
}

/// A DTSTART or DTEND for `instant`: the wall-clock time in `zone` with its TZID, or UTC
/// without a zone.
icalproperty* timeProperty(icalproperty* (*make)(icaltimetype), const QDateTime& instant,
                           const WritingZone* zone) {
    if (!zone) return make(utcTime(instant));
    const QDateTime local = instant.toTimeZone(zone->zone);
    icaltimetype value = dateValue(local.date());
    value.is_date = 0;
    value.hour = local.time().hour();
    value.minute = local.time().minute();
    value.second = local.time().second();
    icalproperty* property = make(value);
    icalproperty_add_parameter(property, icalparameter_new_tzid(zone->zone.id().constData()));
    return property;
}

void removeProperties(icalcomponent* component, icalproperty_kind kind) {
    while (icalproperty* old = icalcomponent_get_first_property(component, kind)) {
        icalcomponent_remove_property(component, old);
        icalproperty_free(old);
    }
}

/// Puts `property` in place of any of its kind in `component`.
void replaceProperty(icalcomponent* component, icalproperty* property) {
    removeProperties(component, icalproperty_isa(property));
    icalcomponent_add_property(component, property);
}

icalrecurrencetype_frequency frequency(const QString& recurrence) {
    if (recurrence == u"weekly") return ICAL_WEEKLY_RECURRENCE;
    if (recurrence == u"monthly") return ICAL_MONTHLY_RECURRENCE;
    if (recurrence == u"yearly") return ICAL_YEARLY_RECURRENCE;
    return ICAL_DAILY_RECURRENCE;
}

/// The RRULE of a repeating event: its frequency, INTERVAL when above one, and UNTIL or COUNT.
/// UNTIL is the last day itself for an all-day event; for a timed one it is the last second of
/// that day in `localZone`, in UTC, so that an occurrence on the last day is kept whatever zone
/// the rule is expanded in.
icalproperty* repeatRule(const ExtractedEvent& event, const QTimeZone& localZone) {
    icalrecurrencetype rule;
    icalrecurrencetype_clear(&rule);
    rule.freq = frequency(event.recurrence.value_or(QString()));
    rule.interval = static_cast<short>(clampedRecurrenceInterval(event.recurrenceInterval));
    if (event.recurrenceEnd && event.recurrenceEnd->until.isValid()) {
        const QDate day = event.recurrenceEnd->until;
        const QTime last(23, 59, 59);
        rule.until = event.allDay          ? dateValue(day)
                     : localZone.isValid() ? utcTime(QDateTime(day, last, localZone))
                                           : utcTime(QDateTime(day, last));
    } else if (event.recurrenceEnd) {
        rule.count = std::clamp(event.recurrenceEnd->count, 1, maxRecurrenceCount);
    }
    return icalproperty_new_rrule(rule);
}

void addText(icalcomponent* component, icalproperty* (*make)(const char*), const QString& text) {
    icalcomponent_add_property(component,
                               make(withoutControlCharacters(text).toUtf8().constData()));
}

/// The VEVENT of `event`: timed start and end in `zone`, or UTC without one; a repeat's last
/// day is the one of `localZone`, the zone the event was given in.
icalcomponent* newEvent(const ExtractedEvent& event, const QString& uid, const WritingZone* zone,
                        const QTimeZone& localZone) {
    icalcomponent* vevent = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    addText(vevent, icalproperty_new_uid, uid);
    icalcomponent_add_property(vevent,
                               icalproperty_new_dtstamp(utcTime(QDateTime::currentDateTimeUtc())));
    // An empty text is left out: iCalendar readers take an empty value for an error.
    if (!event.title.isEmpty()) addText(vevent, icalproperty_new_summary, event.title);
    if (!event.location.isEmpty()) addText(vevent, icalproperty_new_location, event.location);
    if (!event.notes.isEmpty()) addText(vevent, icalproperty_new_description, event.notes);

    if (event.allDay) {
        const AllDaySpan span = allDaySpan(event.startDate, event.endDate);
        icalcomponent_add_property(vevent, icalproperty_new_dtstart(dateValue(span.firstDay)));
        icalcomponent_add_property(vevent, icalproperty_new_dtend(dateValue(span.endDay)));
    } else {
        icalcomponent_add_property(vevent,
                                   timeProperty(icalproperty_new_dtstart, event.startDate, zone));
        icalcomponent_add_property(vevent,
                                   timeProperty(icalproperty_new_dtend, event.endDate, zone));
    }

    if (event.recurrence) icalcomponent_add_property(vevent, repeatRule(event, localZone));

    if (event.availability) {
        if (*event.availability == u"free") {
            icalcomponent_add_property(vevent, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
        } else if (*event.availability == u"tentative") {
            icalcomponent_add_property(vevent, icalproperty_new_status(ICAL_STATUS_TENTATIVE));
        } else {
            icalcomponent_add_property(vevent, icalproperty_new_transp(ICAL_TRANSP_OPAQUE));
        }
    }

    if (event.reminderMinutes) {
        icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
        icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        addText(alarm, icalproperty_new_description, event.title);
        icaltriggertype trigger;
        trigger.time = icaltime_null_time();
        trigger.duration = icaldurationtype_from_int(static_cast<int>(
            -60 * std::clamp<qint64>(*event.reminderMinutes, 0, maxReminderMinutes)));
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        icalcomponent_add_component(vevent, alarm);
    }
    return vevent;
}

/// The zone's VTIMEZONE with the IANA name as its TZID (libical's own TZIDs carry a prefix).
icalcomponent* newTimezone(const WritingZone& zone) {
    icalcomponent* vtimezone = icalcomponent_new_clone(icaltimezone_get_component(zone.data));
    icalproperty_set_tzid(icalcomponent_get_first_property(vtimezone, ICAL_TZID_PROPERTY),
                          zone.zone.id().constData());
    return vtimezone;
}

QByteArray render(const QList<std::pair<const ExtractedEvent*, QString>>& entries,
                  const QByteArray& zoneId) {
    const Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Zorbel//Zorbel//ZH"));
    const WritingZone zone = writingZone(zoneId);
    // A zone without an IANA name (a POSIX rule) is the process's own local time.
    const QTimeZone localZone(zoneId);
    QList<icalcomponent*> events;
    bool zoned = false;
    for (const auto& [event, uid] : entries) {
        const bool inZone = writesInZone(*event, zone);
        zoned = zoned || inZone;
        events.append(newEvent(*event, uid, inZone ? &zone : nullptr, localZone));
    }
    if (zoned) icalcomponent_add_component(calendar.get(), newTimezone(zone));
    for (icalcomponent* event : events) icalcomponent_add_component(calendar.get(), event);
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    QByteArray result(text);
    icalmemory_free_buffer(text);
    return result;
}

}  // namespace

AllDaySpan allDaySpan(const QDateTime& start, const QDateTime& end) {
    const QDateTime localStart = start.toLocalTime();
    const QDateTime localEnd = end.toLocalTime();
    const bool endsAtMidnight = localEnd.time() == QTime(0, 0);
    const QDate endDay =
        endsAtMidnight && end > start ? localEnd.date() : localEnd.date().addDays(1);
    return {localStart.date(), endDay.isValid() ? endDay : localEnd.date()};
}

QString newUid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray eventObject(const ExtractedEvent& event, const QString& uid, const QByteArray& zoneId) {
    return render({{&event, uid}}, zoneId);
}

namespace {

/// Parses `object`, lets `change` rewrite the series VEVENT of `uid`, stamps it as changed and
/// renders the whole object again.
template <typename Change>
std::optional<QByteArray> rewritten(const QByteArray& object, const QString& uid, Change change) {
    const Component calendar(icalparser_parse_string(object.constData()));
    if (!calendar || icalcomponent_isa(calendar.get()) != ICAL_VCALENDAR_COMPONENT) return {};
    for (icalcomponent* vevent =
             icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
         vevent; vevent = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT)) {
        const char* own = icalcomponent_get_uid(vevent);
        if (!own || QString::fromUtf8(own) != uid ||
            icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY)) {
            continue;
        }
        change(vevent);
        const icaltimetype now = utcTime(QDateTime::currentDateTimeUtc());
        const int sequence = icalcomponent_get_sequence(vevent);
        icalcomponent_set_sequence(vevent, std::max(sequence, 0) + 1);
        icalcomponent_set_dtstamp(vevent, now);
        replaceProperty(vevent, icalproperty_new_lastmodified(now));
        char* text = icalcomponent_as_ical_string_r(calendar.get());
        QByteArray result(text);
        icalmemory_free_buffer(text);
        return result;
    }
    return {};
}

}  // namespace

std::optional<QByteArray> movedObject(const QByteArray& object, const QString& uid,
                                      const ExtractedEvent& moved) {
    return rewritten(object, uid, [&](icalcomponent* vevent) {
        for (const icalproperty_kind kind :
             {ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_DURATION_PROPERTY}) {
            removeProperties(vevent, kind);
        }
        if (moved.allDay) {
            const AllDaySpan span = allDaySpan(moved.startDate, moved.endDate);
            icalcomponent_add_property(vevent, icalproperty_new_dtstart(dateValue(span.firstDay)));
            icalcomponent_add_property(vevent, icalproperty_new_dtend(dateValue(span.endDay)));
        } else {
            icalcomponent_add_property(vevent, icalproperty_new_dtstart(utcTime(moved.startDate)));
            icalcomponent_add_property(vevent, icalproperty_new_dtend(utcTime(moved.endDate)));
        }
    });
}

std::optional<QByteArray> cancelledObject(const QByteArray& object, const QString& uid) {
    return rewritten(object, uid, [](icalcomponent* vevent) {
        replaceProperty(vevent, icalproperty_new_status(ICAL_STATUS_CANCELLED));
    });
}

QByteArray calendarObject(const QList<ExtractedEvent>& events, const QByteArray& zoneId) {
    QList<std::pair<const ExtractedEvent*, QString>> entries;
    for (const ExtractedEvent& event : events) entries.append({&event, newUid()});
    return render(entries, zoneId);
}

}  // namespace zorbel::ICalendarMapping
