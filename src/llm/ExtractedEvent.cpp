#include "llm/ExtractedEvent.h"

#include <cstdlib>

namespace zorbel {

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
