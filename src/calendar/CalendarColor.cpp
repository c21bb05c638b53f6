#include "calendar/CalendarColor.h"

#include <algorithm>
#include <cmath>

namespace zorbel::CalendarColor {

QString hexFromComponents(const std::optional<QList<double>>& components) {
    if (!components || components->size() <= 2) return QLatin1String(kUnreadable);
    const auto byte = [&](qsizetype index) {
        return static_cast<int>(std::trunc(components->at(index) * 255.0));
    };
    return QString::asprintf("#%02X%02X%02X", byte(0), byte(1), byte(2));
}

QString hexFromText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(u'#') || (trimmed.size() != 7 && trimmed.size() != 9)) {
        return QLatin1String(kUnreadable);
    }
    const auto isHexDigit = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c.toLower() >= u'a' && c.toLower() <= u'f');
    };
    if (!std::all_of(trimmed.begin() + 1, trimmed.end(), isHexDigit)) {
        return QLatin1String(kUnreadable);
    }
    QList<double> components;
    for (qsizetype at = 1; at < trimmed.size(); at += 2) {
        components.append(trimmed.mid(at, 2).toInt(nullptr, 16) / 255.0);
    }
    return hexFromComponents(components);
}

}  // namespace zorbel::CalendarColor
