#include "calendar/EventValidationError.h"

namespace zorbel {

QString message(EventValidationError error) {
    switch (error) {
        case EventValidationError::emptyTitle:
            return QStringLiteral("标题不能为空");
        case EventValidationError::endNotAfterStart:
            return QStringLiteral("结束时间必须晚于开始时间");
    }
    return {};
}

QList<EventValidationError> validationErrors(const ExtractedEvent& event) {
    QList<EventValidationError> errors;
    if (event.title.trimmed().isEmpty()) errors.append(EventValidationError::emptyTitle);
    if (event.endDate <= event.startDate) errors.append(EventValidationError::endNotAfterStart);
    return errors;
}

}  // namespace zorbel
