#pragma once

#include <qcoro/qcorotask.h>
#include <QList>
#include <QString>
#include <memory>
#include <variant>

#include "calendar/CalendarWriter.h"
#include "core/CaptureServices.h"
#include "core/CaptureState.h"

namespace zorbel {

/// The calendar end of a capture: calendar access, the calendars events may go to, and the
/// write of the confirmed ones, each step ending in the state the ball shows when it fails or
/// is done. GUI thread only; a step holds what it uses, so the steps may go while it waits.
class CalendarSteps {
public:
    CalendarSteps(std::shared_ptr<PermissionRequesting> permissions,
                  std::shared_ptr<CalendarWriter> writer);

    /// The writable calendars (never empty), or the failure to show: access refused
    /// (permissionDenied(calendar)) or no calendar to write to ("noWritableCalendar",
    /// calendarWrite; a store that cannot list counts as none).
    QCoro::Task<std::variant<QList<CalendarChoice>, CaptureState>> calendars();

    /// Asks for access again and writes `included` into `calendarID`: the receipt, or the
    /// failure when nothing could be tried (permissionDenied(calendar); calendarWrite when the
    /// write fails as a whole).
    /// `continuesLast`: a retry of the review's earlier write, undone together with it.
    QCoro::Task<std::variant<WriteReceipt, CaptureState>> write(QList<EventToWrite> included,
                                                                QString calendarID,
                                                                QList<EventChange> changes = {},
                                                                bool continuesLast = false);

    /// Takes back the last write: the state that tells what was put back (`success`, undone),
    /// calendarWrite when the store could not be reached for any of it, nothing when there is
    /// nothing to undo.
    QCoro::Task<std::optional<CaptureState>> undo();

private:
    std::shared_ptr<PermissionRequesting> m_permissions;
    std::shared_ptr<CalendarWriter> m_writer;
};

}  // namespace zorbel
