#include "ball/ConfirmationFlow.h"

#include <QWidget>
#include <exception>

#include "app/AppLogger.h"
#include "calendar/ConfirmPanel.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

void ConfirmationFlow::DeleteLater::operator()(ConfirmPanel* panel) const {
    // Dropping a panel closes it without callbacks. It may be dropped from inside one of its
    // own callbacks: let that return before it goes.
    panel->forceClose();
    panel->deleteLater();
}

ConfirmationFlow::ConfirmationFlow(Seams seams, QObject* parent)
    : QObject(parent), m_seams(std::move(seams)) {}

ConfirmationFlow::~ConfirmationFlow() = default;

std::shared_ptr<CalendarWriter> ConfirmationFlow::writer() const {
    return m_seams.writer ? m_seams.writer : CalendarWriter::shared();
}

void ConfirmationFlow::showConfirmPanel(const QList<ExtractedEvent>& events) {
    if (!m_seams.window || !m_seams.window()) {
        AppLogger::shared().record(AppLogEvent::failure(u"confirmNoWindow"_s));
        m_seams.setState(BallState::failure(
            UserFacingFailure::of(UserFacingFailure::Kind::providerUnavailable)));
        return;
    }
    openPanel(this, std::make_shared<ConfirmPanelViewModel>(events));
}

QCoro::Task<bool> ConfirmationFlow::calendarAllowed(QPointer<ConfirmationFlow> self) {
    if (!self) co_return false;
    const std::shared_ptr<PermissionRequesting> permissions = self->m_seams.permissions;
    const PermissionResult result = co_await permissions->requestCalendarWrite();
    if (!self) co_return false;
    if (result == PermissionResult::granted) co_return true;
    AppLogger::shared().record(AppLogEvent::permission(u"calendar"_s, false));
    self->m_seams.setState(
        BallState::failure(UserFacingFailure::permissionDenied(ProtectedCapability::calendar)));
    co_return false;
}

QCoro::Task<> ConfirmationFlow::openPanel(QPointer<ConfirmationFlow> self,
                                          std::shared_ptr<ConfirmPanelViewModel> viewModel) {
    if (!co_await calendarAllowed(self)) co_return;

    const std::shared_ptr<CalendarWriter> writer = self->writer();
    QList<CalendarChoice> calendars;
    try {
        calendars = co_await writer->writableCalendars();
    } catch (const std::exception&) {
        // Counted as no calendar at all.
    }
    if (!self) co_return;
    if (calendars.isEmpty()) {
        AppLogger::shared().record(AppLogEvent::failure(u"noWritableCalendar"_s));
        self->m_seams.setState(
            BallState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite)));
        co_return;
    }

    // The window lives as long as the ball view that owns this flow; an empty anchor only
    // guards against a window that went while the flow waited.
    const QWidget* window = self->m_seams.window();
    const QRect anchor = window ? window->frameGeometry() : QRect();
    self->m_panel.reset(new ConfirmPanel(
        std::move(viewModel), calendars, anchor,
        [self](QList<ExtractedEvent> included, QString calendarID) {
            if (self) self->onWrite(std::move(included), std::move(calendarID));
        },
        [self] {
            if (self) self->onDiscard();
        }));
    self->m_panel->show();
}

void ConfirmationFlow::onWrite(QList<ExtractedEvent> included, QString calendarID) {
    m_panel.reset();
    performWrite(std::move(included), std::move(calendarID));
}

void ConfirmationFlow::onDiscard() {
    m_panel.reset();
    if (m_seams.state().kind() == BallState::Kind::confirmation) {
        m_seams.setState(BallState::idle());
    }
}

QCoro::Task<> ConfirmationFlow::performWrite(QList<ExtractedEvent> included, QString calendarID) {
    return write(this, std::move(included), std::move(calendarID));
}

QCoro::Task<> ConfirmationFlow::write(QPointer<ConfirmationFlow> self,
                                      QList<ExtractedEvent> included, QString calendarID) {
    if (!co_await calendarAllowed(self)) co_return;

    const std::shared_ptr<CalendarWriter> writer = self->writer();
    std::optional<WriteReceipt> receipt;
    try {
        receipt = co_await writer->write(std::move(included), std::move(calendarID));
    } catch (const std::exception&) {
        // Shown as the calendar-write failure below.
    }
    if (!self) co_return;
    if (receipt && receipt->failures.isEmpty()) {
        self->m_seams.setState(
            BallState::success({receipt->calendar.title, receipt->createdEventIDs.size()}));
    } else {
        self->m_seams.setState(
            BallState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite)));
    }
}

void ConfirmationFlow::stateChanged(const BallState& state) {
    if (state.kind() != BallState::Kind::confirmation) m_panel.reset();
}

}  // namespace zorbel
