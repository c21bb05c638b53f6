#include "capture/CalendarSteps.h"

#include <algorithm>
#include <exception>

#include "support/AppLogger.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

CaptureState writeFailure() {
    return CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite));
}

/// Asks for calendar access; logs a refusal.
QCoro::Task<bool> granted(std::shared_ptr<PermissionRequesting> permissions) {
    const PermissionResult result = co_await permissions->requestCalendarWrite();
    if (result == PermissionResult::granted) co_return true;
    AppLogger::shared().record(AppLogEvent::permission(u"calendar"_s, false));
    co_return false;
}

CaptureState refusal() {
    return CaptureState::failure(
        UserFacingFailure::permissionDenied(ProtectedCapability::calendar));
}

}  // namespace

CalendarSteps::CalendarSteps(std::shared_ptr<PermissionRequesting> permissions,
                             std::shared_ptr<CalendarWriter> writer)
    : m_permissions(std::move(permissions)), m_writer(std::move(writer)) {}

QCoro::Task<std::variant<QList<CalendarChoice>, CaptureState>> CalendarSteps::calendars() {
    // Held here: the steps may go while a step waits.
    const std::shared_ptr<CalendarWriter> writer = m_writer;
    const bool allowed = co_await granted(m_permissions);
    if (!allowed) co_return refusal();
    QList<CalendarChoice> calendars;
    try {
        calendars = co_await writer->writableCalendars();
    } catch (const std::exception&) {
        // Counted as no calendar at all.
    }
    if (calendars.isEmpty()) {
        AppLogger::shared().record(AppLogEvent::failure(u"noWritableCalendar"_s));
        co_return writeFailure();
    }
    co_return calendars;
}

QCoro::Task<std::variant<WriteReceipt, CaptureState>> CalendarSteps::write(
    QList<EventToWrite> included, QString calendarID, QList<EventChange> changes,
    bool continuesLast) {
    const std::shared_ptr<CalendarWriter> writer = m_writer;
    const bool allowed = co_await granted(m_permissions);
    if (!allowed) co_return refusal();
    try {
        co_return co_await writer->write(std::move(included), std::move(calendarID),
                                         std::move(changes), continuesLast);
    } catch (const std::exception&) {
        co_return writeFailure();
    }
}

QCoro::Task<std::optional<CaptureState>> CalendarSteps::undo() {
    const std::shared_ptr<CalendarWriter> writer = m_writer;
    const std::optional<UndoReceipt> receipt = co_await writer->undo();
    if (!receipt) co_return std::nullopt;
    const bool unreachable =
        receipt->undone == 0 &&
        std::all_of(receipt->left.begin(), receipt->left.end(),
                    [](const WriteFailure& left) { return left.reasonCode == u"save"; });
    if (unreachable) co_return writeFailure();
    co_return CaptureState::success({QString(), receipt->undone, true, receipt->left.size()});
}

}  // namespace zorbel
