#pragma once

#include <QDateTime>
#include <QString>

#include "llm/ExtractedEvent.h"

namespace zorbel::test {

/// A local wall-clock time in the test's time zone, as the UTC instant events carry.
inline QDateTime localTime(int month, int day, int hour, int minute = 0) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::LocalTime).toUTC();
}

/// A plain one-hour event on 3 March at 10:00 local time.
inline ExtractedEvent sampleEvent(const QString& title = QStringLiteral("Review")) {
    ExtractedEvent event;
    event.title = title;
    event.startDate = localTime(3, 3, 10);
    event.endDate = localTime(3, 3, 11);
    return event;
}

}  // namespace zorbel::test
