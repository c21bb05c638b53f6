#include "ui/confirm/ConfirmationFlow.h"

#include <QAction>
#include <QWidget>

#include "support/AppLogger.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmText.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

void ConfirmationFlow::DeleteLater::operator()(ConfirmPanel* panel) const {
    // Dropping a panel closes it without callbacks. It may be dropped from inside one of its
    // own callbacks: let that return before it goes.
    panel->forceClose();
    panel->deleteLater();
}

ConfirmationFlow::ConfirmationFlow(Seams seams, QObject* parent)
    : QObject(parent),
      m_seams(std::move(seams)),
      m_steps(m_seams.permissions, m_seams.writer),
      m_undo(new QAction(ConfirmText::tr("撤销上次写入"), this)) {
    m_undoEnds.setSingleShot(true);
    connect(&m_undoEnds, &QTimer::timeout, this, &ConfirmationFlow::refreshUndo);
    connect(m_undo, &QAction::triggered, this, [this] { undoLastWrite(this); });
    // Reading the record makes the calendar store: not before the ball is shown.
    QTimer::singleShot(0, this, &ConfirmationFlow::refreshUndo);
}

void ConfirmationFlow::refreshUndo() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::optional<WriteRecord> record = m_seams.writer->undoable(now);
    m_undo->setVisible(record.has_value());
    if (!record) return;
    const QDateTime ends = record->writtenAt.addSecs(
        std::chrono::duration_cast<std::chrono::seconds>(WriteJournal::kUndoWindow).count());
    m_undoEnds.start(std::chrono::milliseconds(now.msecsTo(ends) + 1));
}

QCoro::Task<> ConfirmationFlow::undoLastWrite(QPointer<ConfirmationFlow> self) {
    const std::optional<CaptureState> outcome = co_await self->m_steps.undo();
    if (!self) co_return;
    self->refreshUndo();
    if (outcome) self->m_seams.setState(*outcome);
}

ConfirmationFlow::~ConfirmationFlow() = default;

void ConfirmationFlow::showConfirmPanel(const QList<ExtractedEvent>& events) {
    if (!m_seams.window || !m_seams.window()) {
        AppLogger::shared().record(AppLogEvent::failure(u"confirmNoWindow"_s));
        m_seams.setState(CaptureState::failure(
            UserFacingFailure::of(UserFacingFailure::Kind::providerUnavailable)));
        return;
    }
    openPanel(this, std::make_shared<ConfirmPanelViewModel>(events));
}

QCoro::Task<> ConfirmationFlow::openPanel(QPointer<ConfirmationFlow> self,
                                          std::shared_ptr<ConfirmPanelViewModel> viewModel) {
    auto listed = co_await self->m_steps.calendars();
    if (!self) co_return;
    if (const CaptureState* failure = std::get_if<CaptureState>(&listed)) {
        self->m_seams.setState(*failure);
        co_return;
    }
    const QList<CalendarChoice> calendars = std::get<QList<CalendarChoice>>(std::move(listed));
    // The window lives as long as the ball view that owns this flow; an empty anchor only
    // guards against a window that went while the flow waited.
    const QWidget* window = self->m_seams.window();
    const QRect anchor = window ? window->frameGeometry() : QRect();
    self->m_panel.reset(new ConfirmPanel(
        viewModel, calendars, anchor,
        [self, viewModel](QList<EventToWrite> included, QString calendarID) {
            if (self) {
                self->performWrite(std::move(included), std::move(calendarID),
                                   viewModel->includedChanges());
            }
        },
        [self] {
            if (self) self->onDiscard();
        }));
    connect(self->m_panel.get(), &ConfirmPanel::destinationChanged, self,
            [self, viewModel](const QString& calendarID) { compare(self, viewModel, calendarID); });
    self->m_panel->show();
    // The panel opens at once; what the calendar holds follows when it has been read.
    co_await compare(self, viewModel, viewModel->destinationCalendarID().value_or(QString()));
}

QCoro::Task<> ConfirmationFlow::compare(QPointer<ConfirmationFlow> self,
                                        std::shared_ptr<ConfirmPanelViewModel> viewModel,
                                        QString calendarID) {
    const std::shared_ptr<CalendarWriter> writer = self->m_seams.writer;
    QList<ExtractedEvent> events;
    for (const EditableEvent& entry : viewModel->events()) events.append(entry.event);
    const std::optional<CalendarComparison> comparison =
        co_await writer->compare(std::move(events), calendarID);
    // The user may have picked yet another calendar meanwhile; its own reading follows.
    if (self && self->m_panel && viewModel->destinationCalendarID() == calendarID) {
        self->m_panel->showComparison(comparison);
    }
}

void ConfirmationFlow::onDiscard() {
    m_panel.reset();
    if (m_seams.state().kind() == CaptureState::Kind::confirmation) {
        m_seams.setState(CaptureState::idle());
    }
}

QCoro::Task<> ConfirmationFlow::performWrite(QList<EventToWrite> included, QString calendarID,
                                             QList<EventChange> changes) {
    return write(this, std::move(included), std::move(calendarID), std::move(changes));
}

QCoro::Task<> ConfirmationFlow::write(QPointer<ConfirmationFlow> self, QList<EventToWrite> included,
                                      QString calendarID, QList<EventChange> changes) {
    const bool retry = self->m_panel && self->m_panel->viewModel().writtenCount() > 0;
    const auto outcome = co_await self->m_steps.write(std::move(included), std::move(calendarID),
                                                      std::move(changes), retry);
    if (!self) co_return;
    self->refreshUndo();
    const WriteReceipt* receipt = std::get_if<WriteReceipt>(&outcome);
    if (!receipt) {
        self->m_seams.setState(std::get<CaptureState>(outcome));
    } else if (receipt->failures.isEmpty()) {
        // A retry's receipt holds what it wrote; the review's earlier writes count too.
        const qsizetype earlier = self->m_panel ? self->m_panel->viewModel().writtenCount() : 0;
        self->m_seams.setState(CaptureState::success(
            {receipt->calendar.title,
             earlier + receipt->createdEventIDs.size() + receipt->changedEventIDs.size()}));
    } else if (self->m_panel) {
        self->m_panel->showWriteOutcome(*receipt);
    } else {
        self->m_seams.setState(
            CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite)));
    }
}

void ConfirmationFlow::stateChanged(const CaptureState& state) {
    if (state.kind() != CaptureState::Kind::confirmation) m_panel.reset();
}

}  // namespace zorbel
