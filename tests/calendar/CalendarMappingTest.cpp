#include <gtest/gtest.h>
#include <libical/ical.h>
#include <ctime>
#include <memory>

#include <QDir>
#include <QFile>

#include "calendar/CalendarColor.h"
#include "calendar/EventValidationError.h"
#include "calendar/ICalendarMapping.h"
#include "llm/EventReader.h"
#include "llm/LLMClient.h"
#include "testkit/CalendarOutputFaults.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/ICalendarReading.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::localTime;
using zorbel::test::sampleEvent;

namespace {

// The zone is set before main, ahead of any time use in the process.
[[maybe_unused]] const bool kZoneSet = [] {
    qputenv("TZ", ZORBEL_TEST_TZ);
    tzset();
    return true;
}();

// The TZID timed events carry here: the zone itself, or none (UTC) for a zone without an IANA
// name.
const QString kSystemTzid =
    QByteArrayView(ZORBEL_TEST_TZ) == "XYZ+3" ? QString() : QStringLiteral(ZORBEL_TEST_TZ);

struct Parsed {
    QByteArray text;
    std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> calendar{nullptr, icalcomponent_free};
    icalcomponent* event = nullptr;
};

Parsed parse(const QByteArray& text) {
    Parsed parsed;
    parsed.text = text;
    parsed.calendar.reset(icalparser_parse_string(text.constData()));
    if (parsed.calendar) {
        parsed.event =
            icalcomponent_get_first_component(parsed.calendar.get(), ICAL_VEVENT_COMPONENT);
    }
    return parsed;
}

Parsed mapped(const ExtractedEvent& event) {
    return parse(ICalendarMapping::eventObject(event, QStringLiteral("uid-1")));
}

int count(icalcomponent* component, icalproperty_kind kind) {
    return icalcomponent_count_properties(component, kind);
}

QDate dateOf(icaltimetype time) {
    return QDate(time.year, time.month, time.day);
}

ICalendarMapping::AllDaySpan span(int month1, int day1, int hour1, int month2, int day2,
                                  int hour2) {
    return ICalendarMapping::allDaySpan(localTime(month1, day1, hour1),
                                        localTime(month2, day2, hour2));
}

}  // namespace

TEST(CalendarColor, ComponentsAreTruncatedAndGreysAreUnreadable) {
    EXPECT_EQ(CalendarColor::hexFromComponents(QList<double>{1.0, 0.5, 0.0, 1.0}), u"#FF7F00");
    EXPECT_EQ(CalendarColor::hexFromComponents(QList<double>{0.999, 0.0039, 0.1, 1.0}), u"#FE0019");
    EXPECT_EQ(CalendarColor::hexFromComponents(QList<double>{0.5, 1.0}), u"#888888");
    EXPECT_EQ(CalendarColor::hexFromComponents(std::nullopt), u"#888888");
}

TEST(CalendarColor, ColourTextsKeepEveryByteAndRefuseOtherForms) {
    for (int byte = 0; byte < 256; ++byte) {
        const QString hex = QString::asprintf("#%02X%02X%02X", byte, 255 - byte, byte);
        ASSERT_EQ(CalendarColor::hexFromText(hex.toLower()), hex);
    }
    EXPECT_EQ(CalendarColor::hexFromText(QStringLiteral(" #FF7F00CC\n")), u"#FF7F00");
    for (const char* bad : {"", "red", "#12345", "#GG0000", "FF7F00", "#+1+2+3", "#FF7F00C"}) {
        EXPECT_EQ(CalendarColor::hexFromText(QLatin1String(bad)), u"#888888") << bad;
    }
}

TEST(AllDaySpan, CoversTheDaysFromStartToEndInclusive) {
    using Span = ICalendarMapping::AllDaySpan;
    EXPECT_EQ(span(3, 3, 10, 3, 3, 11), (Span{QDate(2026, 3, 3), QDate(2026, 3, 4)}));
    EXPECT_EQ(span(3, 3, 10, 3, 5, 9), (Span{QDate(2026, 3, 3), QDate(2026, 3, 6)}));
    EXPECT_EQ(span(3, 3, 0, 3, 3, 0), (Span{QDate(2026, 3, 3), QDate(2026, 3, 4)}));
    EXPECT_EQ(span(3, 3, 23, 3, 4, 1), (Span{QDate(2026, 3, 3), QDate(2026, 3, 5)}));
}

TEST(AllDaySpan, AnEndAtMidnightAfterTheStartIsTheExclusiveEnd) {
    using Span = ICalendarMapping::AllDaySpan;
    EXPECT_EQ(span(3, 3, 0, 3, 4, 0), (Span{QDate(2026, 3, 3), QDate(2026, 3, 4)}));
    EXPECT_EQ(span(3, 3, 10, 3, 4, 0), (Span{QDate(2026, 3, 3), QDate(2026, 3, 4)}));
    EXPECT_EQ(span(3, 3, 0, 3, 6, 0), (Span{QDate(2026, 3, 3), QDate(2026, 3, 6)}));
}

TEST(ICalendarMapping, TimedAndAllDayDates) {
    ExtractedEvent event = sampleEvent();
    event.location = QStringLiteral("Room 4");
    event.notes = QStringLiteral("Bring slides; 第二行\nline two");
    Parsed timed = mapped(event);
    ASSERT_NE(timed.event, nullptr);
    EXPECT_STREQ(icalcomponent_get_uid(timed.event), "uid-1");
    EXPECT_EQ(QString::fromUtf8(icalcomponent_get_summary(timed.event)), event.title);
    EXPECT_EQ(QString::fromUtf8(icalcomponent_get_location(timed.event)), event.location);
    EXPECT_EQ(QString::fromUtf8(icalcomponent_get_description(timed.event)), event.notes);
    EXPECT_FALSE(icalcomponent_get_dtstart(timed.event).is_date);
    // Written in the zone the process runs in, with that zone's VTIMEZONE.
    const test::ReadEvent read = test::readFirstEvent(mapped(event).text, 1);
    EXPECT_EQ(read.startTzid, kSystemTzid);
    EXPECT_EQ(read.endTzid, kSystemTzid);
    EXPECT_EQ(read.vtimezones, kSystemTzid.isEmpty() ? 0 : 1);
    EXPECT_EQ(read.startIsUtc, kSystemTzid.isEmpty());
    EXPECT_EQ(read.starts, QList<QDateTime>{event.startDate});
    EXPECT_EQ(read.end, event.endDate);

    event.allDay = true;
    event.endDate = localTime(3, 5, 9);
    Parsed allDay = mapped(event);
    ASSERT_NE(allDay.event, nullptr);
    EXPECT_TRUE(icalcomponent_get_dtstart(allDay.event).is_date);
    EXPECT_EQ(dateOf(icalcomponent_get_dtstart(allDay.event)), QDate(2026, 3, 3));
    EXPECT_EQ(dateOf(icalcomponent_get_dtend(allDay.event)), QDate(2026, 3, 6));
    const QByteArray allDayText = ICalendarMapping::eventObject(event, QStringLiteral("u"));
    EXPECT_TRUE(allDayText.contains("DTSTART;VALUE=DATE:20260303"));
    EXPECT_FALSE(allDayText.contains("VTIMEZONE"));

    event = sampleEvent(QString());
    const Parsed bare = mapped(event);
    EXPECT_EQ(count(bare.event, ICAL_LOCATION_PROPERTY), 0);
    EXPECT_EQ(count(bare.event, ICAL_DESCRIPTION_PROPERTY), 0);
    EXPECT_EQ(count(bare.event, ICAL_SUMMARY_PROPERTY), 0);
    EXPECT_EQ(count(bare.event, ICAL_XLICERROR_PROPERTY), 0);
}

TEST(ICalendarMapping, OneAlarmAtMinusSixtyTimesMinutesClampedToFourWeeks) {
    const struct {
        qint64 given;
        qint64 minutes;
    } cases[] = {{30, 30}, {0, 0}, {1440, 1440}, {35791395, maxReminderMinutes}, {-5, 0}};
    for (const auto [given, minutes] : cases) {
        ExtractedEvent event = sampleEvent();
        event.reminderMinutes = given;
        const Parsed parsed = mapped(event);
        ASSERT_EQ(icalcomponent_count_components(parsed.event, ICAL_VALARM_COMPONENT), 1);
        icalcomponent* alarm =
            icalcomponent_get_first_component(parsed.event, ICAL_VALARM_COMPONENT);
        const icaltriggertype trigger = icalproperty_get_trigger(
            icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY));
        EXPECT_EQ(icaldurationtype_as_int(trigger.duration), -60 * minutes);
        EXPECT_EQ(count(alarm, ICAL_ACTION_PROPERTY), 1);
    }
    EXPECT_EQ(icalcomponent_count_components(mapped(sampleEvent()).event, ICAL_VALARM_COMPONENT),
              0);
}

TEST(ICalendarMapping, RecurrenceHasIntervalOneNoEndAndFallsBackToDaily) {
    const std::pair<const char*, icalrecurrencetype_frequency> cases[] = {
        {"daily", ICAL_DAILY_RECURRENCE},     {"weekly", ICAL_WEEKLY_RECURRENCE},
        {"monthly", ICAL_MONTHLY_RECURRENCE}, {"yearly", ICAL_YEARLY_RECURRENCE},
        {"biweekly", ICAL_DAILY_RECURRENCE},  {"Weekly", ICAL_DAILY_RECURRENCE}};
    for (const auto& [value, frequency] : cases) {
        ExtractedEvent event = sampleEvent();
        event.recurrence = QLatin1String(value);
        const Parsed parsed = mapped(event);
        ASSERT_EQ(count(parsed.event, ICAL_RRULE_PROPERTY), 1) << value;
        const icalrecurrencetype rule = icalproperty_get_rrule(
            icalcomponent_get_first_property(parsed.event, ICAL_RRULE_PROPERTY));
        EXPECT_EQ(rule.freq, frequency) << value;
        EXPECT_EQ(rule.interval, 1);
        EXPECT_EQ(rule.count, 0);
        EXPECT_TRUE(icaltime_is_null_time(rule.until));
    }
    EXPECT_EQ(count(mapped(sampleEvent()).event, ICAL_RRULE_PROPERTY), 0);
}

TEST(ICalendarMapping, AvailabilityBecomesTranspOrStatus) {
    struct Case {
        std::optional<QString> availability;
        int transp;  // -1: absent
        bool tentative;
    };
    const Case cases[] = {{QStringLiteral("free"), ICAL_TRANSP_TRANSPARENT, false},
                          {QStringLiteral("busy"), ICAL_TRANSP_OPAQUE, false},
                          {QStringLiteral("Free"), ICAL_TRANSP_OPAQUE, false},
                          {QStringLiteral("tentative"), -1, true},
                          {std::nullopt, -1, false}};
    for (const Case& c : cases) {
        ExtractedEvent event = sampleEvent();
        event.availability = c.availability;
        const Parsed parsed = mapped(event);
        icalproperty* transp = icalcomponent_get_first_property(parsed.event, ICAL_TRANSP_PROPERTY);
        EXPECT_EQ(transp ? static_cast<int>(icalproperty_get_transp(transp)) : -1, c.transp)
            << c.availability.value_or(QStringLiteral("none")).toStdString();
        EXPECT_EQ(icalcomponent_get_status(parsed.event) == ICAL_STATUS_TENTATIVE, c.tentative);
    }
}

TEST(ICalendarMapping, CalendarObjectHoldsEveryEventWithItsOwnUid) {
    const Parsed parsed = parse(ICalendarMapping::calendarObject(
        {sampleEvent(QStringLiteral("one")), sampleEvent(QStringLiteral("two"))}));
    ASSERT_TRUE(parsed.calendar);
    ASSERT_EQ(icalcomponent_count_components(parsed.calendar.get(), ICAL_VEVENT_COMPONENT), 2);
    icalcomponent* second =
        icalcomponent_get_next_component(parsed.calendar.get(), ICAL_VEVENT_COMPONENT);
    EXPECT_STREQ(icalcomponent_get_summary(parsed.event), "one");
    EXPECT_STREQ(icalcomponent_get_summary(second), "two");
    EXPECT_STRNE(icalcomponent_get_uid(parsed.event), icalcomponent_get_uid(second));
    EXPECT_EQ(ICalendarMapping::newUid().size(), 36);
}

// Each case writes a weekly event in a given zone and reads it back through the object's own
// VTIMEZONE: every occurrence keeps the instant's wall-clock time in that zone across its
// daylight saving change (25 October in Berlin, 1 November in New York); a zone without an
// IANA name, or a wall-clock time that occurs twice, gives UTC instants instead.
TEST(ICalendarMapping, TimedEventsKeepTheirWallClockTimeInTheWritingZone) {
    const auto at = [](const char* zone, int month, int day, int hour, int minute = 0) {
        return QDateTime(QDate(2026, month, day), QTime(hour, minute), QTimeZone(QByteArray(zone)));
    };
    struct Case {
        const char* zone;
        QDateTime start;
        const char* tzid;  // nullptr: UTC
    };
    const Case cases[] = {
        {"America/New_York", at("America/New_York", 10, 26, 9), "America/New_York"},
        {"Europe/Berlin", at("Europe/Berlin", 10, 19, 9), "Europe/Berlin"},
        {"Asia/Shanghai", at("Asia/Shanghai", 10, 19, 9), "Asia/Shanghai"},
        // A time the text gave in another zone keeps its instant.
        {"America/New_York", at("Europe/London", 10, 26, 14), "America/New_York"},
        {"XYZ+3", at("Etc/GMT+3", 10, 19, 9), nullptr},
        {"CET-1CEST,M3.5.0,M10.5.0/3", at("Europe/Berlin", 10, 19, 9), nullptr},
        {"Nowhere/Land", at("UTC", 10, 19, 9), nullptr},
        {"UTC", at("UTC", 10, 19, 9), nullptr},
        {"", at("UTC", 10, 19, 9), nullptr},
        // 01:30 on 1 November happens twice in New York, 02:30 on 25 October twice in Berlin;
        // so does 01:00, the end of an event from 00:30.
        {"America/New_York", at("America/New_York", 11, 1, 0, 30), nullptr},
        {"America/New_York", at("UTC", 11, 1, 5, 30), nullptr},
        {"America/New_York", at("UTC", 11, 1, 6, 30), nullptr},
        {"Europe/Berlin", at("UTC", 10, 25, 0, 30), nullptr},
        {"Europe/Berlin", at("UTC", 10, 25, 1, 30), nullptr},
        // The hours around them do not.
        {"America/New_York", at("America/New_York", 11, 1, 0, 0), "America/New_York"},
        {"America/New_York", at("America/New_York", 11, 1, 2, 0), "America/New_York"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.start.toString(Qt::ISODate).toStdString());
        ExtractedEvent event = sampleEvent();
        event.startDate = c.start;
        event.endDate = c.start.addSecs(30 * 60);
        event.recurrence = QStringLiteral("weekly");
        const test::ReadEvent read = test::readFirstEvent(
            ICalendarMapping::eventObject(event, QStringLiteral("u"), c.zone), 3);
        ASSERT_TRUE(read.parsed);
        const QString tzid = c.tzid ? QString::fromLatin1(c.tzid) : QString();
        EXPECT_EQ(read.startTzid, tzid);
        EXPECT_EQ(read.endTzid, tzid);
        EXPECT_EQ(read.startIsUtc, c.tzid == nullptr);
        EXPECT_EQ(read.vtimezones, c.tzid ? 1 : 0);
        EXPECT_EQ(read.end, event.endDate);
        ASSERT_EQ(read.starts.size(), 3);
        EXPECT_EQ(read.starts.first(), event.startDate);
        if (!c.tzid) continue;
        const QTimeZone zone(c.tzid);
        for (const QDateTime& start : read.starts) {
            EXPECT_EQ(start.toTimeZone(zone).time(), event.startDate.toTimeZone(zone).time())
                << start.toString(Qt::ISODate).toStdString();
        }
    }
}

TEST(ICalendarMapping, OneVTimezoneForAllTimedEventsAndNoneForAllDayOnly) {
    ExtractedEvent allDay = sampleEvent(QStringLiteral("day"));
    allDay.allDay = true;
    const auto zones = [](const QList<ExtractedEvent>& events) {
        const Parsed parsed = parse(ICalendarMapping::calendarObject(events, "Europe/Berlin"));
        return icalcomponent_count_components(parsed.calendar.get(), ICAL_VTIMEZONE_COMPONENT);
    };
    EXPECT_EQ(zones({sampleEvent(), allDay, sampleEvent()}), 1);
    EXPECT_EQ(zones({allDay}), 0);
}

// Every reply the reader's fuzzer starts from (hostile values among them), read and written as
// the app does: what reaches the calendar holds no control byte, no end before its start and
// no alarm after it, in every zone.
TEST(ICalendarMapping, WhatIsWrittenFromAnyReplyIsWellFormed) {
    const QDir corpus(QStringLiteral(ZORBEL_REPLY_CORPUS_DIR));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 10);
    int written = 0;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const ExtractedEvent& event : parseEvents(QString::fromUtf8(file.readAll()))) {
            if (!validationErrors(event).isEmpty()) continue;
            const QByteArray text =
                ICalendarMapping::eventObject(event, ICalendarMapping::newUid());
            EXPECT_EQ(test::calendarOutputFaults(text), QStringList()) << text.toStdString();
            ++written;
        }
    }
    EXPECT_GE(written, 15);

    // The check itself sees each fault.
    ExtractedEvent reminded = sampleEvent();
    reminded.reminderMinutes = 15;
    const QByteArray good = ICalendarMapping::eventObject(reminded, u"x"_s);
    ASSERT_TRUE(good.contains("TRIGGER:-"));
    EXPECT_EQ(test::calendarOutputFaults(good), QStringList());
    const auto faults = [&](const char* from, const QByteArray& to) {
        return test::calendarOutputFaults(QByteArray(good).replace(from, to));
    };
    EXPECT_FALSE(faults("SUMMARY:", "SUMMARY:\x1b]0;x\x07").isEmpty());
    EXPECT_FALSE(faults("SUMMARY:", "SUMMARY:\xc2\x9b").isEmpty());
    EXPECT_TRUE(faults("SUMMARY:", "SUMMARY:\xc2\xa0").isEmpty());  // a no-break space is text
    EXPECT_EQ(faults("TRIGGER:-", "TRIGGER:"), QStringList{u"alarm after start"_s});
    ExtractedEvent backwards = reminded;
    std::swap(backwards.startDate, backwards.endDate);
    EXPECT_EQ(test::calendarOutputFaults(ICalendarMapping::eventObject(backwards, u"x"_s)),
              QStringList{u"end not after start"_s});
}
