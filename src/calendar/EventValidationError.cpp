#include "calendar/EventValidationError.h"

#include <QCoreApplication>

namespace zorbel {

namespace {

/// The translation context of the messages about an event that cannot be written.
struct ValidationText {
    Q_DECLARE_TR_FUNCTIONS(ValidationText)
};

}  // namespace

QString message(EventValidationError error) {
    switch (error) {
        case EventValidationError::emptyTitle:
            return ValidationText::tr("标题不能为空");
        case EventValidationError::endNotAfterStart:
            return ValidationText::tr("结束时间必须晚于开始时间");
        case EventValidationError::outsideYears:
            return ValidationText::tr("日期须在 %1 至 %2 年之间")
                .arg(kEarliestYear)
                .arg(kLatestYear);
        case EventValidationError::recurrenceEndsBeforeStart:
            return ValidationText::tr("重复的结束日期不能早于开始日期");
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
    if (event.recurrence && event.recurrenceEnd && event.recurrenceEnd->until.isValid() &&
        event.recurrenceEnd->until < event.startDate.toLocalTime().date()) {
        errors.append(EventValidationError::recurrenceEndsBeforeStart);
    }
    return errors;
}

}  // namespace zorbel
