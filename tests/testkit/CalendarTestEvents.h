#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <ctime>

#include "core/ExtractedEvent.h"

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

/// Runs the process in the time zone `zone` (the TZ variable) while it lives, then in the one
/// before.
class ProcessZone {
public:
    explicit ProcessZone(const QByteArray& zone)
        : m_saved(qgetenv("TZ")), m_wasSet(qEnvironmentVariableIsSet("TZ")) {
        set(zone);
    }
    ~ProcessZone() {
        if (m_wasSet) {
            set(m_saved);
        } else {
            qunsetenv("TZ");
            tzset();
        }
    }
    ProcessZone(const ProcessZone&) = delete;
    ProcessZone& operator=(const ProcessZone&) = delete;

private:
    static void set(const QByteArray& zone) {
        qputenv("TZ", zone);
        tzset();
    }
    QByteArray m_saved;
    bool m_wasSet;
};

}  // namespace zorbel::test
