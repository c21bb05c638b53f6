#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace zorbel::CalendarColor {

/// The value used when a calendar's colour cannot be read.
inline constexpr const char* kUnreadable = "#888888";

/// "#%02X%02X%02X" of the first three components (0...1) each times 255 truncated toward zero;
/// "#888888" when there are no components or two or fewer (a grey with alpha). No conversion
/// between colour spaces is made.
QString hexFromComponents(const std::optional<QList<double>>& components);

/// The colour of a calendar's colour text ("#RRGGBB" or "#RRGGBBAA", as vdir `color` files and
/// CalDAV `calendar-color` hold it) through the same rule; "#888888" for anything else.
QString hexFromText(const QString& text);

}  // namespace zorbel::CalendarColor
