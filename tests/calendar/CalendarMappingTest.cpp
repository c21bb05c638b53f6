#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "calendar/CalendarColor.h"
#include "calendar/EventValidationError.h"
#include "calendar/ICalendarMapping.h"
#include "llm/EventReader.h"
#include "testkit/CalendarOutputFaults.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/GoldenFolder.h"
#include "testkit/ICalendarReading.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;

namespace {

// The zone is set before main, ahead of any time use in the process.
const test::ProcessZone kZone(ZORBEL_TEST_TZ);

/// An event of a case file: the fields by name, instants in ISO 8601 with an offset, the
/// optional ones left out when unset.
ExtractedEvent eventFrom(const QJsonObject& json) {
    const auto instant = [&](QLatin1StringView key) {
        return QDateTime::fromString(json[key].toString(), Qt::ISODate).toUTC();
    };
    const auto word = [&](QLatin1StringView key) {
        return json[key].isString() ? std::optional(json[key].toString()) : std::nullopt;
    };
    ExtractedEvent event;
    event.title = json["title"_L1].toString();
    event.startDate = instant("start"_L1);
    event.endDate = instant("end"_L1);
    event.location = json["location"_L1].toString();
    event.notes = json["notes"_L1].toString();
    event.allDay = json["allDay"_L1].toBool();
    if (json["reminderMinutes"_L1].isDouble()) {
        event.reminderMinutes = json["reminderMinutes"_L1].toInteger();
    }
    event.recurrence = word("recurrence"_L1);
    if (json["recurrenceInterval"_L1].isDouble()) {
        event.recurrenceInterval = json["recurrenceInterval"_L1].toInt();
    }
    if (json["recurrenceUntil"_L1].isString()) {
        event.recurrenceEnd = RecurrenceEnd::onDay(
            QDate::fromString(json["recurrenceUntil"_L1].toString(), Qt::ISODate));
    } else if (json["recurrenceCount"_L1].isDouble()) {
        event.recurrenceEnd = RecurrenceEnd{QDate(), json["recurrenceCount"_L1].toInt()};
    }
    event.availability = word("availability"_L1);
    return event;
}

}  // namespace

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

// Each case file holds events and the zone they are written in, as by a program running in
// that zone (all-day dates are taken there too, whatever zone this program started in). What
// is written, with the run's UIDs and time stamp made stable, is the expected calendar object.
TEST(ICalendarMapping, EveryCaseGivesItsExpectedCalendarObject) {
    const test::GoldenFolder cases{
        QStringLiteral(ZORBEL_ICALENDAR_CASES_DIR), {u"*.json"_s}, u".ics"_s, 20};
    cases.check([](const QString& path) {
        const QJsonObject json = QJsonDocument::fromJson(test::readFile(path)).object();
        const QByteArray zone = json["zone"_L1].toString().toUtf8();
        const test::ProcessZone processZone(zone);
        QList<ExtractedEvent> events;
        for (const QJsonValue& event : json["events"_L1].toArray()) {
            events.append(eventFrom(event.toObject()));
        }
        return test::stableCalendarText(ICalendarMapping::calendarObject(events, zone));
    });
}

// Without a zone given, timed events are written in the zone the process runs in, with its
// VTIMEZONE, or as UTC in a zone without an IANA name; either way they read back as the same
// instants.
TEST(ICalendarMapping, TimedEventsAreWrittenInTheProcessZone) {
    const QString tzid =
        QByteArrayView(ZORBEL_TEST_TZ) == "XYZ+3" ? QString() : QStringLiteral(ZORBEL_TEST_TZ);
    const ExtractedEvent event = sampleEvent();
    const test::ReadEvent read =
        test::readFirstEvent(ICalendarMapping::eventObject(event, u"u"_s), 1);
    EXPECT_EQ(read.startTzid, tzid);
    EXPECT_EQ(read.endTzid, tzid);
    EXPECT_EQ(read.vtimezones, tzid.isEmpty() ? 0 : 1);
    EXPECT_EQ(read.startIsUtc, tzid.isEmpty());
    EXPECT_EQ(read.starts, QList<QDateTime>{event.startDate});
    EXPECT_EQ(read.end, event.endDate);
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
        const QString reply = QString::fromUtf8(test::readFile(corpus.filePath(name)));
        for (const ExtractedEvent& event : parseEvents(reply)) {
            if (!validationErrors(event).isEmpty()) continue;
            const QByteArray text =
                ICalendarMapping::eventObject(event, ICalendarMapping::newUid());
            EXPECT_EQ(test::calendarOutputFaults(text), QStringList()) << text.toStdString();
            ++written;
        }
    }
    EXPECT_GE(written, 15);

    // The check itself sees a fault.
    ExtractedEvent backwards = sampleEvent();
    std::swap(backwards.startDate, backwards.endDate);
    EXPECT_EQ(test::calendarOutputFaults(ICalendarMapping::eventObject(backwards, u"x"_s)),
              QStringList{u"end not after start"_s});
}
