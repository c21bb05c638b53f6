#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include "core/ExtractedEvent.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QWidget;

namespace zorbel {

class ConfirmPanelViewModel;

/// The form of the selected event on the confirm panel: title, start and end, all day,
/// reminder, repeat with its interval and end, availability, place and notes, the badges of values
/// the text did not state, and the line of validation messages. Its widgets belong to `panel` and
/// sit in the panel's frame, the first row `top` points above the panel's bottom edge.
class EventForm {
public:
    EventForm(QWidget* panel, int top);

    /// Shows `event` (the view model's entry `eventID`) with its badges.
    void load(const ExtractedEvent& event, const ConfirmPanelViewModel& viewModel,
              const QUuid& eventID);
    /// `event` with the values the form shows; its source text and field origins are kept.
    ExtractedEvent edited(ExtractedEvent event) const;
    /// Shows `messages` on the message line; `asLink` makes them a link (a move or a
    /// cancellation to switch, see `messageLine`).
    void showMessages(const QString& messages, bool asLink = false);
    QLabel* messageLine() const { return m_validationLabel; }
    /// `note` as the link that switches a move or a cancellation.
    static QString changeLink(const QString& note);

private:
    /// Both pickers show dates only for an all-day event; the hidden time is kept.
    void applyAllDayFormat();
    /// The interval and end row follows the repeat: enabled only for one, with its unit, and
    /// with the last day or the count the end list asks for.
    void applyRepeatRow();

    QLineEdit* m_titleField = nullptr;
    QLabel* m_titleBadge = nullptr;
    QDateTimeEdit* m_startPicker = nullptr;
    QDateTimeEdit* m_endPicker = nullptr;
    QLabel* m_endBadge = nullptr;
    QCheckBox* m_allDayCheck = nullptr;
    QLineEdit* m_locationField = nullptr;
    QLabel* m_locationBadge = nullptr;
    QComboBox* m_reminderPopup = nullptr;
    QComboBox* m_repeatPopup = nullptr;
    QComboBox* m_availabilityPopup = nullptr;
    QList<QWidget*> m_repeatRow;
    QSpinBox* m_intervalSpin = nullptr;
    QLabel* m_intervalUnit = nullptr;
    QComboBox* m_repeatEndPopup = nullptr;
    QDateEdit* m_untilPicker = nullptr;
    QSpinBox* m_countSpin = nullptr;
    QPlainTextEdit* m_notesField = nullptr;
    QLabel* m_validationLabel = nullptr;
};

}  // namespace zorbel
