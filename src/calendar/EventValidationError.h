#pragma once

#include <QList>
#include <QString>

#include "core/ExtractedEvent.h"

namespace zorbel {

/// Why an event under review cannot be written, in the order the checks run.
enum class EventValidationError {
    emptyTitle,                 ///< the title is empty once trimmed of white space and newlines
    endNotAfterStart,           ///< the end is earlier than or equal to the start
    outsideYears,               ///< start or end falls outside [kEarliestYear, kLatestYear]
    recurrenceEndsBeforeStart,  ///< a repeat's last day is before the day of the start
};

/// The years an event may be written in: calendar files and servers keep no others reliably.
inline constexpr int kEarliestYear = 1900;
inline constexpr int kLatestYear = 2999;

/// The message the panel shows for the error.
QString message(EventValidationError error);

/// The errors of `event`, `emptyTitle` first; the all-day flag does not change the checks. A
/// repeat's last day is compared with the local day of the start, and only when it repeats.
QList<EventValidationError> validationErrors(const ExtractedEvent& event);

}  // namespace zorbel
