#pragma once

#include <libical/ical.h>
#include <QByteArray>
#include <QStringList>
#include <memory>

namespace zorbel::test {

/// What is wrong with a calendar object as written: a control byte other than CR, LF and tab
/// (C1 controls included), a VEVENT whose end is not after its start, or an alarm that rings
/// after the start. Empty when nothing is; shared by the tests and the fuzzers.
inline QStringList calendarOutputFaults(const QByteArray& text) {
    QStringList faults;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c0 =
            (byte < 0x20 && byte != '\r' && byte != '\n' && byte != '\t') || byte == 0x7f;
        const bool c1 = byte == 0xc2 && i + 1 < text.size() &&
                        (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80;
        if (c0 || c1) {
            faults.append(QStringLiteral("control byte at %1").arg(i));
            break;
        }
    }
    const std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> calendar(
        icalparser_parse_string(text.constData()), icalcomponent_free);
    if (!calendar) return faults << QStringLiteral("unreadable");
    for (icalcomponent* event =
             icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
         event; event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT)) {
        if (icaltime_compare(icalcomponent_get_dtend(event), icalcomponent_get_dtstart(event)) <=
            0) {
            faults.append(QStringLiteral("end not after start"));
        }
        for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
             alarm; alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
            icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
            if (!trigger) {
                faults.append(QStringLiteral("alarm without trigger"));
                continue;
            }
            if (icaldurationtype_as_int(icalproperty_get_trigger(trigger).duration) > 0) {
                faults.append(QStringLiteral("alarm after start"));
            }
        }
    }
    return faults;
}

}  // namespace zorbel::test
