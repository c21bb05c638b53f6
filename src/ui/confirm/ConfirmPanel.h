#pragma once

#include <QDialog>
#include <QList>
#include <QRect>
#include <functional>
#include <memory>

#include "calendar/CalendarTypes.h"
#include "ui/confirm/ConfirmPanelViewModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace zorbel {

class EventForm;

/// The floating window in which the user reviews the candidate events, edits them, picks a
/// calendar and writes them or throws them away. All editing goes through the view model; the
/// form is copied into it only before another event is opened and before writing.
///
/// Return writes, Escape asks whether to discard. The panel stays open while its events are
/// written: `onWrite` is called once per write, and not again until the owner shows the outcome
/// (`showWriteOutcome`) or closes the panel. `onDiscard` is called at most once, after the panel
/// has closed; neither is called after `forceClose`. The owner must not delete the panel from
/// inside a callback (use deleteLater). GUI thread only.
class ConfirmPanel final : public QDialog {
    Q_OBJECT
public:
    using WriteCallback = std::function<void(QList<EventToWrite>, QString)>;
    using DiscardCallback = std::function<void()>;

    /// `viewModel` holds at least one event and `calendars` at least one calendar; `anchor` is
    /// the ball window's frame on the screen.
    ConfirmPanel(std::shared_ptr<ConfirmPanelViewModel> viewModel, QList<CalendarChoice> calendars,
                 const QRect& anchor, WriteCallback onWrite, DiscardCallback onDiscard);
    ~ConfirmPanel() override;

    /// Brings the panel to the front and gives it the keyboard.
    void show();
    /// Asks the discard question, as Escape does.
    void requestDiscard();
    /// Closes the panel for good without calling either callback.
    void forceClose();

    bool isFinished() const { return m_finished; }
    bool isConfirmingDiscard() const { return m_confirmingDiscard; }
    const ConfirmPanelViewModel& viewModel() const { return *m_viewModel; }

    /// Escape and closing the window ask the discard question instead of closing.
    void reject() override;

    /// Shows what the destination calendar holds around the events (see
    /// ConfirmPanelViewModel::setComparison): the tick boxes and the notes follow.
    void showComparison(const std::optional<CalendarComparison>& comparison);
    /// Shows the outcome of a write that did not write everything: the written rows are left
    /// out, the failed ones marked, and the write action writes those again.
    void showWriteOutcome(const WriteReceipt& receipt);
    bool isWriting() const { return m_writing; }

Q_SIGNALS:
    /// The user picked another calendar to write to.
    void destinationChanged(const QString& calendarID);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void buildContent();
    void buildList();

    void loadForm();
    void saveForm();
    void updateValidation();
    void showCalendarNotes();

    void calendarChanged(int index);
    void includeToggled(int index, bool included);
    /// Switches the event `id` between changing the event it concerns and being added as new.
    void toggleChange(const QUuid& id);
    void editClicked(int index);
    void write();
    void continueEditing();
    void confirmDiscard();
    void setQuestionShown(bool shown);
    void finish();

    std::shared_ptr<ConfirmPanelViewModel> m_viewModel;
    QList<CalendarChoice> m_calendars;
    WriteCallback m_onWrite;
    DiscardCallback m_onDiscard;
    bool m_finished = false;
    bool m_confirmingDiscard = false;
    bool m_writing = false;     ///< between `onWrite` and its outcome
    qsizetype m_shownRows = 0;  ///< rows of the event list shown without scrolling

    QComboBox* m_calendarPopup = nullptr;
    QList<QCheckBox*> m_includeChecks;
    QList<QLabel*> m_calendarNotes;  ///< one per list row
    std::unique_ptr<EventForm> m_form;
    QPushButton* m_discardButton = nullptr;
    QPushButton* m_writeButton = nullptr;
    QList<QWidget*> m_discardConfirmViews;
};

}  // namespace zorbel
