// Feeds arbitrary bytes, read as UTF-8 the way a reply body is, to the reader of the model's
// answer, and writes every event that would pass the review as an iCalendar object. Neither may
// crash, leak or trip a sanitizer; the reader never hands on an event without a title or dates,
// and what is written holds no control byte, no end before its start and no alarm after it.

#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>

#include "calendar/EventValidationError.h"
#include "calendar/ICalendarMapping.h"
#include "llm/EventReader.h"
#include "llm/LLMClient.h"
#include "testkit/CalendarOutputFaults.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto events = zorbel::parseEvents(reply);
    for (const auto& event : events) {
        if (event.title.isEmpty() || !event.startDate.isValid() || !event.endDate.isValid()) {
            __builtin_trap();  // the reader promised never to hand these on
        }
        if (event.reminderMinutes && *event.reminderMinutes < 0) __builtin_trap();
        if (!zorbel::validationErrors(event).isEmpty()) continue;  // the review stops these
        const QByteArray written =
            zorbel::ICalendarMapping::eventObject(event, QStringLiteral("fuzz"));
        if (!zorbel::test::calendarOutputFaults(written).isEmpty()) __builtin_trap();
    }
    return 0;
}
