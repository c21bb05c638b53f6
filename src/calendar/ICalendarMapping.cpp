#include "calendar/ICalendarMapping.h"

#include <libical/ical.h>
#include <QUuid>
#include <memory>

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

icaltimetype dateValue(const QDate& day) {
    icaltimetype value = icaltime_null_date();
    value.year = day.year();
    value.month = day.month();
    value.day = day.day();
    return value;
}

icalrecurrencetype_frequency frequency(const QString& recurrence) {
    if (recurrence == u"weekly") return ICAL_WEEKLY_RECURRENCE;
    if (recurrence == u"monthly") return ICAL_MONTHLY_RECURRENCE;
    if (recurrence == u"yearly") return ICAL_YEARLY_RECURRENCE;
    return ICAL_DAILY_RECURRENCE;
}

void addText(icalcomponent* component, icalproperty* (*make)(const char*), const QString& text) {
    icalcomponent_add_property(component, make(text.toUtf8().constData()));
}

icalcomponent* newEvent(const ExtractedEvent& event, const QString& uid) {
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
        icalcomponent_add_property(vevent, icalproperty_new_dtstart(utcTime(event.startDate)));
        icalcomponent_add_property(vevent, icalproperty_new_dtend(utcTime(event.endDate)));
    }

    if (event.recurrence) {
        icalrecurrencetype rule;
        icalrecurrencetype_clear(&rule);
        rule.freq = frequency(*event.recurrence);
        rule.interval = 1;
        icalcomponent_add_property(vevent, icalproperty_new_rrule(rule));
    }

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
        trigger.duration =
            icaldurationtype_from_int(static_cast<int>(-60 * *event.reminderMinutes));
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        icalcomponent_add_component(vevent, alarm);
    }
    return vevent;
}

QByteArray render(const QList<std::pair<const ExtractedEvent*, QString>>& entries) {
    const Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Zorbel//Zorbel//ZH"));
    for (const auto& [event, uid] : entries) {
        icalcomponent_add_component(calendar.get(), newEvent(*event, uid));
    }
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

QByteArray eventObject(const ExtractedEvent& event, const QString& uid) {
    return render({{&event, uid}});
}

QByteArray calendarObject(const QList<ExtractedEvent>& events) {
    QList<std::pair<const ExtractedEvent*, QString>> entries;
    for (const ExtractedEvent& event : events) entries.append({&event, newUid()});
    return render(entries);
}

}  // namespace zorbel::ICalendarMapping
