#include "ui/confirm/ConfirmPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <limits>

#include "support/Appearance.h"
#include "ui/confirm/ConfirmOptions.h"
#include "ui/confirm/ConfirmPanelPresentation.h"
#include "ui/shared/DarkTheme.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

using ConfirmPanelGeometry::kRowHeight;

using DarkTheme::kBlue;
using DarkTheme::kOrange;
using DarkTheme::kRed;
using DarkTheme::setTextColor;
constexpr int kCornerRadius = 12;

const QString kDateTimeFormat = u"yyyy-MM-dd HH:mm"_s;
const QString kDateFormat = u"yyyy-MM-dd"_s;

QFont sizedFont(int pixelSize, int weight = QFont::Normal) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

}  // namespace

ConfirmPanel::ConfirmPanel(std::shared_ptr<ConfirmPanelViewModel> viewModel,
                           QList<CalendarChoice> calendars, const QRect& anchor,
                           WriteCallback onWrite, DiscardCallback onDiscard)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_viewModel(std::move(viewModel)),
      m_calendars(std::move(calendars)),
      m_onWrite(std::move(onWrite)),
      m_onDiscard(std::move(onDiscard)) {
    m_viewModel->applyDefaultDestination(m_calendars);

    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens.append(screen->geometry());
    std::optional<QRect> mainScreen;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        mainScreen = primary->geometry();
    }
    const qsizetype count = m_viewModel->events().size();
    const qsizetype rows = count < 2 ? 0 : count + (m_viewModel->omittedCount() > 0 ? 1 : 0);
    const std::optional<QRect> screen =
        ConfirmPanelGeometry::screenFor(anchor, screens, mainScreen);
    m_shownRows = ConfirmPanelGeometry::shownRows(
        rows, screen ? screen->height() : std::numeric_limits<int>::max());
    const int height = ConfirmPanelGeometry::height(m_shownRows);
    setFixedSize(ConfirmPanelGeometry::kWidth, height);
    move(ConfirmPanelGeometry::frame(anchor, height, screens, mainScreen).topLeft());

    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setPalette(DarkTheme::palette(DarkTheme::kConfirmMaterial));
    setWindowOpacity(Appearance::panelOpacity());
    connect(&AppearanceNotifications::shared(), &AppearanceNotifications::panelOpacityChanged, this,
            [this] { setWindowOpacity(Appearance::panelOpacity()); });

    buildContent();
    loadForm();
}

ConfirmPanel::~ConfirmPanel() = default;

void ConfirmPanel::show() {
    QDialog::show();
    raise();
    activateWindow();
}

void ConfirmPanel::paintEvent(QPaintEvent*) {
    DarkTheme::paintMaterial(this, DarkTheme::kConfirmMaterial, kCornerRadius);
}

// --- Content -------------------------------------------------------------------------------

void ConfirmPanel::buildContent() {
    const int h = height();
    const qsizetype count = m_viewModel->events().size();
    // Frames are given from the bottom left of the panel, y upwards, as the layout is drawn.
    const auto place = [h](QWidget* widget, int x, int y, int width, int height) {
        widget->setGeometry(x, h - y - height, width, height);
    };
    const auto label = [&](const QString& text, int pixelSize, int x, int y, int width,
                           int height) {
        auto* widget = new QLabel(text, this);
        widget->setFont(sizedFont(pixelSize));
        place(widget, x, y, width, height);
        return widget;
    };
    const auto formLabel = [&](const QString& text, int y) {
        label(text, 14, 12, y, 56, 22)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    const auto popup = [&](const QString& name, int x, int y, int width) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->setFont(sizedFont(14));
        place(box, x, y, width, 26);
        return box;
    };

    QLabel* heading = label(ConfirmPanelPresentation::make(count).title, 16, 16, h - 34, 200, 22);
    heading->setObjectName(u"heading"_s);
    heading->setFont(sizedFont(16, QFont::DemiBold));
    label(u"目标日历："_s, 14, 244, h - 34, 76, 22);

    m_calendarPopup = popup(u"calendarPopup"_s, 324, h - 36, 140);
    for (qsizetype i = 0; i < m_calendars.size(); ++i) {
        m_calendarPopup->addItem(m_calendars.at(i).title, int(i));
        if (m_calendars.at(i).id == m_viewModel->destinationCalendarID()) {
            m_calendarPopup->setCurrentIndex(int(i));
        }
    }
    connect(m_calendarPopup, &QComboBox::activated, this, &ConfirmPanel::calendarChanged);

    if (m_shownRows > 0) buildList();

    const int y0 = m_shownRows > 0 ? h - 74 - kRowHeight * int(m_shownRows) : h - 66;
    const int y1 = y0 - 32, y2 = y1 - 32, y3 = y2 - 32, y4 = y3 - 32, y5 = y4 - 32;

    formLabel(u"标题"_s, y0);
    m_titleField = new QLineEdit(this);
    m_titleField->setObjectName(u"titleField"_s);
    m_titleField->setFont(sizedFont(16));
    place(m_titleField, 76, y0 - 2, 320, 26);
    m_titleBadge = makeBadge(416, y0 + 2);
    m_titleBadge->setObjectName(u"titleBadge"_s);

    const auto picker = [&](const QString& name, int y) {
        auto* edit = new QDateTimeEdit(this);
        edit->setObjectName(name);
        edit->setFont(sizedFont(14));
        edit->setDisplayFormat(kDateTimeFormat);
        place(edit, 76, y - 2, 220, 26);
        return edit;
    };
    formLabel(u"开始"_s, y1);
    m_startPicker = picker(u"startPicker"_s, y1);
    formLabel(u"结束"_s, y2);
    m_endPicker = picker(u"endPicker"_s, y2);
    m_endBadge = makeBadge(416, y2 + 2);
    m_endBadge->setObjectName(u"endBadge"_s);

    m_allDayCheck = new QCheckBox(u"全天"_s, this);
    m_allDayCheck->setObjectName(u"allDayCheck"_s);
    m_allDayCheck->setFont(sizedFont(14));
    place(m_allDayCheck, 76, y3, 56, 22);
    connect(m_allDayCheck, &QCheckBox::toggled, this, &ConfirmPanel::applyAllDayFormat);

    m_reminderPopup = popup(u"reminderPopup"_s, 138, y3 - 2, 108);
    const auto& reminders = ConfirmOptions::reminderOptions();
    for (qsizetype i = 0; i < reminders.size(); ++i) {
        m_reminderPopup->addItem(reminders.at(i).title, ConfirmOptions::reminderTag(i));
    }
    m_repeatPopup = popup(u"repeatPopup"_s, 252, y3 - 2, 96);
    const auto& repeats = ConfirmOptions::repeatOptions();
    for (qsizetype i = 0; i < repeats.size(); ++i) {
        m_repeatPopup->addItem(repeats.at(i).title, int(i));
    }
    m_availabilityPopup = popup(u"availabilityPopup"_s, 354, y3 - 2, 84);
    const auto& availabilities = ConfirmOptions::availabilityOptions();
    for (qsizetype i = 0; i < availabilities.size(); ++i) {
        m_availabilityPopup->addItem(availabilities.at(i).title, int(i));
    }

    formLabel(u"地点"_s, y4);
    m_locationField = new QLineEdit(this);
    m_locationField->setObjectName(u"locationField"_s);
    m_locationField->setFont(sizedFont(14));
    place(m_locationField, 76, y4 - 2, 320, 26);
    m_locationBadge = makeBadge(416, y4 + 2);
    m_locationBadge->setObjectName(u"locationBadge"_s);

    formLabel(u"备注"_s, y5);
    m_notesField = new QPlainTextEdit(this);
    m_notesField->setObjectName(u"notesField"_s);
    m_notesField->setFont(sizedFont(14));
    m_notesField->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_notesField->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    place(m_notesField, 76, y5 - 46, 384, 68);

    m_validationLabel = label({}, 13, 76, y5 - 76, 384, 18);
    m_validationLabel->setObjectName(u"validationLabel"_s);
    setTextColor(m_validationLabel, kRed);

    m_discardButton = makeButton(u"放弃此次结果"_s, QFont::Normal, 16, 12, 120);
    m_discardButton->setObjectName(u"discardButton"_s);
    connect(m_discardButton, &QPushButton::clicked, this, &ConfirmPanel::requestDiscard);
    m_writeButton =
        makeButton(ConfirmPanelPresentation::make(count).primaryTitle, QFont::Medium, 344, 12, 120);
    m_writeButton->setObjectName(u"writeButton"_s);
    m_writeButton->setDefault(true);  // Return
    connect(m_writeButton, &QPushButton::clicked, this, &ConfirmPanel::write);

    QLabel* question = label(u"确定放弃此次结果？"_s, 14, 16, 16, 180, 20);
    question->setObjectName(u"discardQuestion"_s);
    QPushButton* keepEditing = makeButton(u"继续编辑"_s, QFont::Normal, 224, 12, 100);
    keepEditing->setObjectName(u"continueEditingButton"_s);
    connect(keepEditing, &QPushButton::clicked, this, &ConfirmPanel::continueEditing);
    QPushButton* discard = makeButton(u"放弃"_s, QFont::Medium, 344, 12, 120);
    discard->setObjectName(u"confirmDiscardButton"_s);
    connect(discard, &QPushButton::clicked, this, &ConfirmPanel::confirmDiscard);
    m_discardConfirmViews = {question, keepEditing, discard};
    for (QWidget* view : m_discardConfirmViews) view->hide();
}

void ConfirmPanel::buildList() {
    // Rows are laid out from the top of the list, which scrolls when they do not all fit.
    auto* rows = new QWidget;
    int top = 0;
    if (const QString omitted = m_viewModel->omittedMessage(); !omitted.isEmpty()) {
        auto* note = new QLabel(omitted, rows);
        note->setObjectName(u"omittedNote"_s);
        note->setFont(sizedFont(13));
        setTextColor(note, kOrange);
        note->setGeometry(20, top + 6, 444, 20);
        top += kRowHeight;
    }
    for (qsizetype i = 0; i < m_viewModel->events().size(); ++i, top += kRowHeight) {
        const EditableEvent& entry = m_viewModel->events().at(i);
        auto* check = new QCheckBox(entry.event.title, rows);
        check->setObjectName(u"includeCheck"_s + QString::number(i));
        check->setFont(sizedFont(14));
        check->setChecked(entry.isIncluded);
        check->setGeometry(20, top + 6, 320, 20);
        connect(check, &QCheckBox::toggled, this,
                [this, i](bool on) { includeToggled(int(i), on); });
        m_includeChecks.append(check);

        auto* edit = new QPushButton(u"编辑"_s, rows);
        edit->setObjectName(u"editButton"_s + QString::number(i));
        edit->setFont(sizedFont(11));
        edit->setAutoDefault(false);
        edit->setGeometry(404, top, 60, 22);
        connect(edit, &QPushButton::clicked, this, [this, i] { editClicked(int(i)); });
    }
    rows->setFixedSize(ConfirmPanelGeometry::kWidth, top + 4);

    auto* list = new QScrollArea(this);
    list->setObjectName(u"eventList"_s);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->viewport()->setAutoFillBackground(false);
    list->setWidget(rows);  // after the rows exist, so that they take the panel's colours
    rows->setAutoFillBackground(false);
    list->setGeometry(0, 40, ConfirmPanelGeometry::kWidth, kRowHeight * int(m_shownRows) + 4);
}

QPushButton* ConfirmPanel::makeButton(const QString& text, int fontWeight, int x, int y,
                                      int width) {
    auto* button = new QPushButton(text, this);
    button->setFont(sizedFont(14, fontWeight));
    button->setAutoDefault(false);  // Return belongs to the write button alone
    button->setGeometry(x, height() - y - 28, width, 28);
    return button;
}

QLabel* ConfirmPanel::makeBadge(int x, int y) {
    auto* badge = new QLabel(this);
    badge->setFont(sizedFont(11, QFont::Medium));
    badge->setGeometry(x, height() - y - 18, 48, 18);
    badge->hide();
    return badge;
}

// --- The form ------------------------------------------------------------------------------

void ConfirmPanel::loadForm() {
    const QUuid selected = m_viewModel->selectedEventID();
    for (const EditableEvent& entry : m_viewModel->events()) {
        if (entry.id != selected) continue;
        const ExtractedEvent& event = entry.event;
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
        break;
    }
    applyAllDayFormat();
    updateBadges();
    updateValidation();
}

void ConfirmPanel::saveForm() {
    const QUuid selected = m_viewModel->selectedEventID();
    for (const EditableEvent& entry : m_viewModel->events()) {
        if (entry.id != selected) continue;
        ExtractedEvent event = entry.event;  // keeps sourceText and fieldOrigins
        event.title = m_titleField->text();
        event.startDate = m_startPicker->dateTime().toUTC();
        event.endDate = m_endPicker->dateTime().toUTC();
        event.allDay = m_allDayCheck->isChecked();
        event.location = m_locationField->text();
        event.notes = m_notesField->toPlainText();
        ConfirmOptions::applyReminderTag(event, m_reminderPopup->currentData().toLongLong());
        ConfirmOptions::applyRepeatIndex(event, m_repeatPopup->currentData().toInt());
        ConfirmOptions::applyAvailabilityIndex(event, m_availabilityPopup->currentData().toInt());
        m_viewModel->update(event, selected);
        break;
    }
    updateValidation();
}

void ConfirmPanel::updateBadges() {
    const QUuid selected = m_viewModel->selectedEventID();
    // A defaulted end (an hour after the start) is the one badge shown in blue.
    const auto show = [&](QLabel* badge, EventField field) {
        const std::optional<QString> text = m_viewModel->badge(field, selected);
        badge->setText(text.value_or(QString()));
        badge->setVisible(text.has_value());
        const bool defaultedEnd =
            field == EventField::endDate &&
            m_viewModel->badgeOrigin(field, selected) == FieldOrigin::defaulted;
        setTextColor(badge, defaultedEnd ? kBlue : kOrange);
    };
    show(m_titleBadge, EventField::title);
    show(m_locationBadge, EventField::location);
    show(m_endBadge, EventField::endDate);
}

void ConfirmPanel::updateValidation() {
    m_validationLabel->setText(m_viewModel->selectedMessages());
    m_writeButton->setEnabled(m_viewModel->canWrite());
}

void ConfirmPanel::applyAllDayFormat() {
    const QString& format = m_allDayCheck->isChecked() ? kDateFormat : kDateTimeFormat;
    for (QDateTimeEdit* picker : {m_startPicker, m_endPicker}) {
        // Changing the format must not change the value (the hidden time stays).
        const QDateTime value = picker->dateTime();
        picker->setDisplayFormat(format);
        picker->setDateTime(value);
    }
}

// --- Actions -------------------------------------------------------------------------------

void ConfirmPanel::calendarChanged(int index) {
    const int calendar = m_calendarPopup->itemData(index).toInt();
    if (calendar < 0 || calendar >= m_calendars.size()) return;
    m_viewModel->setDestinationCalendarID(m_calendars.at(calendar).id);
}

void ConfirmPanel::includeToggled(int index, bool included) {
    if (index < 0 || index >= m_viewModel->events().size()) return;
    m_viewModel->setIncluded(included, m_viewModel->events().at(index).id);
    updateValidation();
}

void ConfirmPanel::editClicked(int index) {
    if (index < 0 || index >= m_viewModel->events().size()) return;
    saveForm();
    m_viewModel->setSelectedEventID(m_viewModel->events().at(index).id);
    loadForm();
}

void ConfirmPanel::write() {
    if (m_finished) return;
    saveForm();
    if (!m_writeButton->isEnabled()) return;
    const QList<ExtractedEvent> included = m_viewModel->includedEvents();
    const std::optional<QString> calendarID = m_viewModel->destinationCalendarID();
    if (included.isEmpty() || !calendarID) return;
    WriteCallback callback = std::move(m_onWrite);
    finish();
    if (callback) callback(included, *calendarID);
}

void ConfirmPanel::reject() {
    requestDiscard();
}

void ConfirmPanel::requestDiscard() {
    if (m_finished || m_confirmingDiscard) return;
    setQuestionShown(true);
}

void ConfirmPanel::continueEditing() {
    setQuestionShown(false);
}

void ConfirmPanel::setQuestionShown(bool shown) {
    m_confirmingDiscard = shown;
    m_discardButton->setVisible(!shown);
    m_writeButton->setVisible(!shown);
    for (QWidget* view : m_discardConfirmViews) view->setVisible(shown);
}

void ConfirmPanel::confirmDiscard() {
    if (m_finished) return;
    DiscardCallback callback = std::move(m_onDiscard);
    finish();
    if (callback) callback();
}

void ConfirmPanel::forceClose() {
    finish();
}

void ConfirmPanel::finish() {
    m_finished = true;
    m_onWrite = nullptr;
    m_onDiscard = nullptr;
    hide();  // not close(): closing a dialog asks the discard question
}

}  // namespace zorbel
