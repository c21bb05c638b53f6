#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <ctime>
#include <optional>

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

/// A calendar object as written, with what changes from run to run made stable: each new UID
/// (a UUID without braces) becomes "uid-1", "uid-2"... in order of first appearance and each
/// DTSTAMP "(now)"; a UID or DTSTAMP of any other form is left as it is, so that it shows. The
/// rules of a VTIMEZONE, which come from the system's time zone data, become "(rules)".
inline QByteArray stableCalendarText(const QByteArray& text) {
    static const QRegularExpression uid(
        QStringLiteral("\nUID:([0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12})\r"));
    static const QRegularExpression stamp(QStringLiteral("\nDTSTAMP:[0-9]{8}T[0-9]{6}Z\r"));
    static const QRegularExpression rules(
        QStringLiteral("(\nBEGIN:VTIMEZONE\r\nTZID:[^\r]*\r\n).*?(\r\nEND:VTIMEZONE\r)"),
        QRegularExpression::DotMatchesEverythingOption);
    QString stable = QString::fromUtf8(text);
    stable.replace(stamp, QStringLiteral("\nDTSTAMP:(now)\r"));
    stable.replace(rules, QStringLiteral("\\1(rules)\\2"));
    QStringList uids;
    for (const QRegularExpressionMatch& match : uid.globalMatch(stable)) {
        if (!uids.contains(match.captured(1))) uids.append(match.captured(1));
    }
    for (qsizetype i = 0; i < uids.size(); ++i) {
        stable.replace(uids.at(i), QStringLiteral("uid-%1").arg(i + 1));
    }
    return stable.toUtf8();
}

/// Runs the process in the time zone `zone` (the TZ variable) while it lives, then in the one
/// before.
class ProcessZone {
public:
    explicit ProcessZone(const QByteArray& zone) {
        if (qEnvironmentVariableIsSet("TZ")) m_saved = qgetenv("TZ");
        set(zone);
    }
    ~ProcessZone() { set(m_saved); }
    ProcessZone(const ProcessZone&) = delete;
    ProcessZone& operator=(const ProcessZone&) = delete;

private:
    static void set(const std::optional<QByteArray>& zone) {
        if (zone)
            qputenv("TZ", *zone);
        else
            qunsetenv("TZ");
        tzset();
    }
    std::optional<QByteArray> m_saved;
};

}  // namespace zorbel::test
