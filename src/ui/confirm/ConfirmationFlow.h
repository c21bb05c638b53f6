#pragma once

#include <qcoro/qcorotask.h>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "capture/CalendarSteps.h"
#include "core/CaptureServices.h"
#include "core/CaptureState.h"
#include "ui/confirm/ConfirmPanelViewModel.h"

class QAction;
class QWidget;

namespace zorbel {

class ConfirmPanel;

/// What the ball does once events are ready: it makes sure the calendar may be written, lists
/// the writable calendars, opens the confirm panel and shows in it what the chosen calendar
/// holds around the events (read again when the user picks another), writes what the user confirms
/// and shows the outcome in the ball's state (the capture coordinator is not told). The ball view
/// owns one and forwards its state changes to `stateChanged`. GUI thread only; every asynchronous
/// step holds the flow weakly and does nothing once it is gone.
class ConfirmationFlow final : public QObject {
    Q_OBJECT
public:
    struct Seams {
        /// The ball's window, whose frame anchors the panel; nullptr when there is none.
        std::function<QWidget*()> window;
        /// The ball's state, read and set.
        std::function<CaptureState()> state;
        std::function<void(CaptureState)> setState;
        std::shared_ptr<PermissionRequesting> permissions;
        std::shared_ptr<CalendarWriter> writer;
    };

    explicit ConfirmationFlow(Seams seams, QObject* parent = nullptr);
    ~ConfirmationFlow() override;

    /// Opens the review of `events` (never empty). Returns at once; permission, calendars and
    /// the panel follow on the event loop. Failures end in a failure state: no window
    /// ("confirmNoWindow", providerUnavailable), permission refused (permissionDenied(calendar)),
    /// no calendar to write to ("noWritableCalendar", calendarWrite).
    void showConfirmPanel(const QList<ExtractedEvent>& events);

    /// Asks for the permission again, writes `included` into `calendarID` and shows `success`
    /// with the calendar's title and the number written (the ball view returns to idle after it).
    /// When some events were not written the panel stays open with them for another try (the
    /// ball keeps showing confirmation); without a panel, and when the write fails as a whole,
    /// the ball shows `failure(calendarWrite)`.
    QCoro::Task<> performWrite(QList<EventToWrite> included, QString calendarID,
                               QList<EventChange> changes = {});

    /// The ball's state changed: a state other than `confirmation` closes an open panel without
    /// questions.
    void stateChanged(const CaptureState& state);

    /// The open panel, if any (the ball forwards a press to its `requestDiscard`).
    ConfirmPanel* confirmPanel() const { return m_panel.get(); }

    /// 「撤销上次写入」, for the ball's and the tray's menus: visible while the last write (also
    /// one before a restart) can be undone; triggered, it takes that write back and shows what
    /// was put back in the ball's state.
    QAction* undoAction() const { return m_undo; }
    /// Shows `undoAction` while the last write can be undone, and hides it when that ends.
    void refreshUndo();

private:
    struct DeleteLater {
        void operator()(ConfirmPanel* panel) const;
    };

    static QCoro::Task<> openPanel(QPointer<ConfirmationFlow> self,
                                   std::shared_ptr<ConfirmPanelViewModel> viewModel);
    /// Reads the calendar `calendarID` around the panel's events and shows what it holds.
    static QCoro::Task<> compare(QPointer<ConfirmationFlow> self,
                                 std::shared_ptr<ConfirmPanelViewModel> viewModel,
                                 QString calendarID);
    static QCoro::Task<> write(QPointer<ConfirmationFlow> self, QList<EventToWrite> included,
                               QString calendarID, QList<EventChange> changes);
    void onDiscard();
    static QCoro::Task<> undoLastWrite(QPointer<ConfirmationFlow> self);

    Seams m_seams;
    CalendarSteps m_steps;
    std::unique_ptr<ConfirmPanel, DeleteLater> m_panel;
    QAction* m_undo;
    QTimer m_undoEnds;
};

}  // namespace zorbel
