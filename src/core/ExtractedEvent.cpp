#include "core/ExtractedEvent.h"

#include <algorithm>
#include <cstdlib>

namespace zorbel {

const char* caseName(EventField field) {
    switch (field) {
        case EventField::title:
            return "title";
        case EventField::startDate:
            return "startDate";
        case EventField::endDate:
            return "endDate";
        case EventField::location:
            return "location";
        case EventField::notes:
            return "notes";
        case EventField::allDay:
            return "allDay";
        case EventField::reminder:
            return "reminder";
        case EventField::recurrence:
            return "recurrence";
        case EventField::availability:
            return "availability";
    }
    return "title";
}

RecurrenceEnd RecurrenceEnd::after(qint64 occurrences) {
    return {QDate(), static_cast<int>(std::clamp<qint64>(occurrences, 1, maxRecurrenceCount))};
}

int clampedRecurrenceInterval(qint64 interval) {
    return static_cast<int>(std::clamp<qint64>(interval, 1, maxRecurrenceInterval));
}

QString rawValue(FieldOrigin origin) {
    switch (origin) {
        case FieldOrigin::source:
            return QStringLiteral("source");
        case FieldOrigin::inferred:
            return QStringLiteral("inferred");
        case FieldOrigin::defaulted:
            return QStringLiteral("default");
    }
    return {};
}

std::optional<FieldOrigin> fieldOriginFromRawValue(const QString& raw) {
    for (const FieldOrigin origin :
         {FieldOrigin::source, FieldOrigin::inferred, FieldOrigin::defaulted}) {
        if (rawValue(origin) == raw) return origin;
    }
    return std::nullopt;
}

QString ExtractedEvent::offsetText(int offsetSeconds) {
    const int magnitude = std::abs(offsetSeconds);
    const int hours = magnitude / 3600;
    const int minutes = (magnitude % 3600) / 60;
    return QString::asprintf("%s%02d:%02d", offsetSeconds >= 0 ? "+" : "-", hours, minutes);
}

QString ExtractedEvent::localOffset() {
    return offsetText(QDateTime::currentDateTime().offsetFromUtc());
}

}  // namespace zorbel
