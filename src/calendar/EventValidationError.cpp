#include "calendar/EventValidationError.h"

namespace zorbel {

QString message(EventValidationError error) {
    switch (error) {
        case EventValidationError::emptyTitle:
            return QStringLiteral("标题不能为空");
        case EventValidationError::endNotAfterStart:
            return QStringLiteral("结束时间必须晚于开始时间");
        case EventValidationError::outsideYears:
            return QStringLiteral("日期须在 %1 至 %2 年之间").arg(kEarliestYear).arg(kLatestYear);
    }
    return {};
}

QList<EventValidationError> validationErrors(const ExtractedEvent& event) {
    QList<EventValidationError> errors;
    if (event.title.trimmed().isEmpty()) errors.append(EventValidationError::emptyTitle);
    if (event.endDate <= event.startDate) errors.append(EventValidationError::endNotAfterStart);
    const auto inside = [](const QDateTime& instant) {
        const int year = instant.toLocalTime().date().year();
        return year >= kEarliestYear && year <= kLatestYear;
    };
    if (!inside(event.startDate) || !inside(event.endDate)) {
        errors.append(EventValidationError::outsideYears);
    }
    return errors;
}

}  // namespace zorbel
