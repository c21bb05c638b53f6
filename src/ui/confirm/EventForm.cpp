#include "ui/confirm/EventForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "ui/confirm/ConfirmOptions.h"
#include "ui/confirm/ConfirmPanelViewModel.h"
#include "ui/confirm/ConfirmText.h"
#include "ui/confirm/PanelFrame.h"
#include "ui/shared/DarkTheme.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kDateTimeFormat = u"yyyy-MM-dd HH:mm"_s;
const QString kDateFormat = u"yyyy-MM-dd"_s;

/// A repeat count kept in the form when the event has none, shown once "重复次数" is picked.
constexpr int kDefaultCount = 10;

/// The badge of a field's origin, right of the field in row `y`; hidden until there is one.
QLabel* makeBadge(const PanelFrame& frame, const QString& name, int y) {
    QLabel* badge = frame.label(QString(), 11, 416, y + 2, 48, 18);
    badge->setFont(DarkTheme::panelFont(11, QFont::Medium));
    badge->setObjectName(name + u"Badge"_s);
    badge->hide();
    return badge;
}

}  // namespace

EventForm::EventForm(QWidget* panel, int top) {
    using DarkTheme::panelFont;
    const PanelFrame frame(panel);
    const auto formLabel = [&](const QString& text, int y) {
        frame.label(text, 14, 12, y, 56, 22)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    // A single-line field with the badge of its origin to the right.
    const auto field = [&](const QString& name, int pixelSize, int y, QLabel*& badge) {
        auto* edit = new QLineEdit(panel);
        edit->setObjectName(name + u"Field"_s);
        edit->setFont(panelFont(pixelSize));
        frame.place(edit, 76, y - 2, 320, 26);
        badge = makeBadge(frame, name, y);
        return edit;
    };
    const int y0 = top;
    const int y1 = y0 - 32, y2 = y1 - 32, y3 = y2 - 32, y4 = y3 - 32, y5 = y4 - 32, y6 = y5 - 32;

    formLabel(ConfirmText::tr("标题"), y0);
    m_titleField = field(u"title"_s, 16, y0, m_titleBadge);

    const auto picker = [&](const QString& name, int y) {
        auto* edit = new QDateTimeEdit(panel);
        edit->setObjectName(name);
        edit->setFont(panelFont(14));
        edit->setDisplayFormat(kDateTimeFormat);
        frame.place(edit, 76, y - 2, 220, 26);
        return edit;
    };
    formLabel(ConfirmText::tr("开始"), y1);
    m_startPicker = picker(u"startPicker"_s, y1);
    formLabel(ConfirmText::tr("结束"), y2);
    m_endPicker = picker(u"endPicker"_s, y2);
    m_endBadge = makeBadge(frame, u"end"_s, y2);

    m_allDayCheck = new QCheckBox(ConfirmText::tr("全天"), panel);
    m_allDayCheck->setObjectName(u"allDayCheck"_s);
    m_allDayCheck->setFont(panelFont(14));
    frame.place(m_allDayCheck, 76, y3, 74, 22);
    QObject::connect(m_allDayCheck, &QCheckBox::toggled, panel, [this] { applyAllDayFormat(); });

    m_reminderPopup = frame.popup(u"reminderPopup"_s, 154, y3 - 2, 128);
    const auto& reminders = ConfirmOptions::reminderOptions();
    for (qsizetype i = 0; i < reminders.size(); ++i) {
        m_reminderPopup->addItem(reminders.at(i).title, ConfirmOptions::reminderTag(i));
    }
    m_repeatPopup = frame.popup(u"repeatPopup"_s, 286, y3 - 2, 88);
    const auto& repeats = ConfirmOptions::repeatOptions();
    for (qsizetype i = 0; i < repeats.size(); ++i) {
        m_repeatPopup->addItem(repeats.at(i).title, int(i));
    }
    m_availabilityPopup = frame.popup(u"availabilityPopup"_s, 378, y3 - 2, 86);
    const auto& availabilities = ConfirmOptions::availabilityOptions();
    for (qsizetype i = 0; i < availabilities.size(); ++i) {
        m_availabilityPopup->addItem(availabilities.at(i).title, int(i));
    }

    // Every N units, then how the repeat ends: never, on a last day, after a count.
    const auto spin = [&](const QString& name, int x, int y, int width) {
        auto* box = new QSpinBox(panel);
        box->setObjectName(name);
        box->setFont(panelFont(14));
        frame.place(box, x, y - 2, width, 26);
        return box;
    };
    formLabel(ConfirmText::tr("重复"), y4);
    QLabel* every = frame.label(ConfirmText::tr("每"), 14, 76, y4, 40, 22);
    m_intervalSpin = spin(u"intervalSpin"_s, 118, y4, 52);
    m_intervalSpin->setRange(1, maxRecurrenceInterval);
    m_intervalUnit = frame.label(QString(), 14, 174, y4, 52, 22);
    m_intervalUnit->setObjectName(u"intervalUnit"_s);
    m_repeatEndPopup = frame.popup(u"repeatEndPopup"_s, 228, y4 - 2, 96);
    const QStringList& ends = ConfirmOptions::repeatEndTitles();
    for (qsizetype i = 0; i < ends.size(); ++i) m_repeatEndPopup->addItem(ends.at(i), int(i));
    m_untilPicker = new QDateEdit(panel);
    m_untilPicker->setObjectName(u"untilPicker"_s);
    m_untilPicker->setFont(panelFont(14));
    m_untilPicker->setDisplayFormat(kDateFormat);
    frame.place(m_untilPicker, 330, y4 - 2, 120, 26);
    m_countSpin = spin(u"countSpin"_s, 330, y4, 80);
    m_countSpin->setRange(1, maxRecurrenceCount);
    m_countSpin->setSuffix(ConfirmText::tr(" 次"));
    m_repeatRow = {every,         m_intervalSpin, m_intervalUnit, m_repeatEndPopup,
                   m_untilPicker, m_countSpin};
    QObject::connect(m_repeatPopup, &QComboBox::currentIndexChanged, panel,
                     [this] { applyRepeatRow(); });
    QObject::connect(m_repeatEndPopup, &QComboBox::currentIndexChanged, panel,
                     [this] { applyRepeatRow(); });
    // The unit is singular or plural by the interval.
    QObject::connect(m_intervalSpin, &QSpinBox::valueChanged, panel, [this] { applyRepeatRow(); });

    formLabel(ConfirmText::tr("地点"), y5);
    m_locationField = field(u"location"_s, 14, y5, m_locationBadge);

    formLabel(ConfirmText::tr("备注"), y6);
    m_notesField = new QPlainTextEdit(panel);
    m_notesField->setObjectName(u"notesField"_s);
    m_notesField->setFont(panelFont(14));
    m_notesField->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_notesField->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    frame.place(m_notesField, 76, y6 - 46, 384, 68);

    m_validationLabel = frame.label({}, 13, 76, y6 - 74, 384, 18);
    m_validationLabel->setObjectName(u"validationLabel"_s);
    DarkTheme::setTextColor(m_validationLabel, DarkTheme::kRed);
}

void EventForm::load(const ExtractedEvent& event, const ConfirmPanelViewModel& viewModel,
                     const QUuid& eventID) {
    m_titleField->setText(event.title);
    m_startPicker->setDateTime(event.startDate.toLocalTime());
    m_endPicker->setDateTime(event.endDate.toLocalTime());
    m_allDayCheck->setChecked(event.allDay);
    m_locationField->setText(event.location);
    m_notesField->setPlainText(event.notes);
    const auto select = [](QComboBox* box, const QVariant& tag) {
        box->setCurrentIndex(std::max(box->findData(tag), 0));
    };
    select(m_reminderPopup, ConfirmOptions::reminderTag(ConfirmOptions::reminderIndex(event)));
    select(m_repeatPopup, int(ConfirmOptions::repeatIndex(event)));
    select(m_availabilityPopup, int(ConfirmOptions::availabilityIndex(event)));
    const ConfirmOptions::RepeatEnd end = ConfirmOptions::repeatEnd(event);
    m_intervalSpin->setValue(event.recurrence ? event.recurrenceInterval : 1);
    select(m_repeatEndPopup, int(end));
    const bool onDay = end == ConfirmOptions::RepeatEnd::onDay;
    m_untilPicker->setDate(onDay ? event.recurrenceEnd->until
                                 : event.startDate.toLocalTime().date());
    m_countSpin->setValue(end == ConfirmOptions::RepeatEnd::afterCount ? event.recurrenceEnd->count
                                                                       : kDefaultCount);
    applyAllDayFormat();
    applyRepeatRow();

    // A defaulted end (an hour after the start) is the one badge shown in blue.
    const auto show = [&](QLabel* badge, EventField field) {
        const std::optional<QString> text = viewModel.badge(field, eventID);
        badge->setText(text.value_or(QString()));
        badge->setVisible(text.has_value());
        const bool defaultedEnd = field == EventField::endDate &&
                                  viewModel.badgeOrigin(field, eventID) == FieldOrigin::defaulted;
        DarkTheme::setTextColor(badge, defaultedEnd ? DarkTheme::kBlue : DarkTheme::kOrange);
    };
    show(m_titleBadge, EventField::title);
    show(m_locationBadge, EventField::location);
    show(m_endBadge, EventField::endDate);
}

ExtractedEvent EventForm::edited(ExtractedEvent event) const {
    event.title = m_titleField->text();
    event.startDate = m_startPicker->dateTime().toUTC();
    event.endDate = m_endPicker->dateTime().toUTC();
    event.allDay = m_allDayCheck->isChecked();
    event.location = m_locationField->text();
    event.notes = m_notesField->toPlainText();
    ConfirmOptions::applyReminderTag(event, m_reminderPopup->currentData().toLongLong());
    ConfirmOptions::applyRepeatIndex(event, m_repeatPopup->currentData().toInt());
    ConfirmOptions::applyAvailabilityIndex(event, m_availabilityPopup->currentData().toInt());
    ConfirmOptions::applyRepeatDetails(
        event, m_intervalSpin->value(),
        static_cast<ConfirmOptions::RepeatEnd>(m_repeatEndPopup->currentData().toInt()),
        m_untilPicker->date(), m_countSpin->value());
    return event;
}

void EventForm::showMessages(const QString& messages, bool asLink) {
    m_validationLabel->setTextFormat(asLink ? Qt::RichText : Qt::PlainText);
    m_validationLabel->setText(asLink ? changeLink(messages) : messages);
}

QString EventForm::changeLink(const QString& note) {
    return u"<a href=\"change\">"_s + note.toHtmlEscaped() + u"</a>"_s;
}

void EventForm::applyAllDayFormat() {
    const QString& format = m_allDayCheck->isChecked() ? kDateFormat : kDateTimeFormat;
    for (QDateTimeEdit* picker : {m_startPicker, m_endPicker}) {
        // Changing the format must not change the value (the hidden time stays).
        const QDateTime value = picker->dateTime();
        picker->setDisplayFormat(format);
        picker->setDateTime(value);
    }
}

void EventForm::applyRepeatRow() {
    const int repeat = m_repeatPopup->currentData().toInt();
    for (QWidget* widget : m_repeatRow) widget->setEnabled(repeat > 0);
    m_intervalUnit->setText(ConfirmOptions::intervalUnit(repeat, m_intervalSpin->value()));
    const auto end =
        static_cast<ConfirmOptions::RepeatEnd>(m_repeatEndPopup->currentData().toInt());
    m_untilPicker->setVisible(end == ConfirmOptions::RepeatEnd::onDay);
    m_countSpin->setVisible(end == ConfirmOptions::RepeatEnd::afterCount);
}

}  // namespace zorbel
