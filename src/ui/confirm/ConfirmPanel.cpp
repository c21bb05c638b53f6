#include "ui/confirm/ConfirmPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <limits>

#include "support/Appearance.h"
#include "ui/confirm/ConfirmOptions.h"
#include "ui/confirm/ConfirmPanelPresentation.h"
#include "ui/confirm/ConfirmText.h"
#include "ui/confirm/EventForm.h"
#include "ui/confirm/PanelFrame.h"
#include "ui/shared/DarkTheme.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

using ConfirmPanelGeometry::kRowHeight;

using DarkTheme::kBlue;
using DarkTheme::kOrange;
using DarkTheme::kRed;
using DarkTheme::kSecondaryText;
using DarkTheme::setTextColor;
constexpr int kCornerRadius = 12;

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
    const PanelFrame frame(this);
    QLabel* heading =
        frame.label(ConfirmPanelPresentation::make(count).title, 16, 16, h - 34, 200, 22);
    heading->setObjectName(u"heading"_s);
    heading->setFont(DarkTheme::panelFont(16, QFont::DemiBold));
    frame.label(ConfirmText::tr("目标日历："), 14, 244, h - 34, 76, 22);

    m_calendarPopup = frame.popup(u"calendarPopup"_s, 324, h - 36, 140);
    for (qsizetype i = 0; i < m_calendars.size(); ++i) {
        m_calendarPopup->addItem(m_calendars.at(i).title, int(i));
        if (m_calendars.at(i).id == m_viewModel->destinationCalendarID()) {
            m_calendarPopup->setCurrentIndex(int(i));
        }
    }
    connect(m_calendarPopup, &QComboBox::activated, this, &ConfirmPanel::calendarChanged);

    if (m_shownRows > 0) buildList();

    const int y0 = m_shownRows > 0 ? h - 74 - kRowHeight * int(m_shownRows) : h - 66;

    m_form = std::make_unique<EventForm>(this, y0);
    // The one event of a panel without a list shows its note there.
    connect(m_form->messageLine(), &QLabel::linkActivated, this,
            [this] { toggleChange(m_viewModel->selectedEventID()); });

    m_discardButton = frame.button(ConfirmText::tr("放弃此次结果"), QFont::Normal, 16, 12, 120);
    m_discardButton->setObjectName(u"discardButton"_s);
    connect(m_discardButton, &QPushButton::clicked, this, &ConfirmPanel::requestDiscard);
    m_writeButton = frame.button(ConfirmPanelPresentation::make(count).primaryTitle, QFont::Medium,
                                 344, 12, 120);
    m_writeButton->setObjectName(u"writeButton"_s);
    m_writeButton->setDefault(true);  // Return
    connect(m_writeButton, &QPushButton::clicked, this, &ConfirmPanel::write);

    QLabel* question = frame.label(ConfirmText::tr("确定放弃此次结果？"), 14, 16, 16, 180, 20);
    question->setObjectName(u"discardQuestion"_s);
    QPushButton* keepEditing =
        frame.button(ConfirmText::tr("继续编辑"), QFont::Normal, 224, 12, 100);
    keepEditing->setObjectName(u"continueEditingButton"_s);
    connect(keepEditing, &QPushButton::clicked, this, &ConfirmPanel::continueEditing);
    QPushButton* discard = frame.button(ConfirmText::tr("放弃"), QFont::Medium, 344, 12, 120);
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
        note->setFont(DarkTheme::panelFont(13));
        setTextColor(note, kOrange);
        note->setGeometry(20, top + 6, 444, 20);
        top += kRowHeight;
    }
    for (qsizetype i = 0; i < m_viewModel->events().size(); ++i, top += kRowHeight) {
        const EditableEvent& entry = m_viewModel->events().at(i);
        auto* check = new QCheckBox(entry.event.title, rows);
        check->setObjectName(u"includeCheck"_s + QString::number(i));
        check->setFont(DarkTheme::panelFont(14));
        check->setChecked(entry.isIncluded);
        check->setGeometry(20, top + 6, 320, 20);
        connect(check, &QCheckBox::toggled, this,
                [this, i](bool on) { includeToggled(int(i), on); });
        m_includeChecks.append(check);
        auto* note = new QLabel(rows);
        note->setObjectName(u"calendarNote"_s + QString::number(i));
        note->setFont(DarkTheme::panelFont(11));
        note->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        note->setGeometry(224, top + 6, 172, 20);
        note->setTextFormat(Qt::RichText);
        // A move or a cancellation is a link: it switches between changing the existing event
        // and adding a new one.
        connect(note, &QLabel::linkActivated, this,
                [this, i] { toggleChange(m_viewModel->events().at(i).id); });
        m_calendarNotes.append(note);

        auto* edit = new QPushButton(ConfirmText::tr("编辑"), rows);
        edit->setObjectName(u"editButton"_s + QString::number(i));
        edit->setFont(DarkTheme::panelFont(11));
        edit->setAutoDefault(false);
        edit->setGeometry(404, top, 60, 22);
        connect(edit, &QPushButton::clicked, this, [this, i] { editClicked(int(i)); });
    }
    rows->setFixedSize(ConfirmPanelGeometry::kWidth, top + 4);
    showCalendarNotes();

    auto* list = new QScrollArea(this);
    list->setObjectName(u"eventList"_s);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->viewport()->setAutoFillBackground(false);
    list->setWidget(rows);  // after the rows exist, so that they take the panel's colours
    rows->setAutoFillBackground(false);
    list->setGeometry(0, 40, ConfirmPanelGeometry::kWidth, kRowHeight * int(m_shownRows) + 4);
}

// --- The form ------------------------------------------------------------------------------

void ConfirmPanel::loadForm() {
    const QUuid selected = m_viewModel->selectedEventID();
    for (const EditableEvent& entry : m_viewModel->events()) {
        if (entry.id == selected) m_form->load(entry.event, *m_viewModel, selected);
    }
    updateValidation();
}

void ConfirmPanel::saveForm() {
    const QUuid selected = m_viewModel->selectedEventID();
    for (const EditableEvent& entry : m_viewModel->events()) {
        if (entry.id == selected) m_viewModel->update(m_form->edited(entry.event), selected);
    }
    updateValidation();
}

void ConfirmPanel::showCalendarNotes() {
    for (qsizetype i = 0; i < m_includeChecks.size(); ++i) {
        const EditableEvent& entry = m_viewModel->events().at(i);
        const QString note = m_viewModel->calendarNote(entry.id);
        QCheckBox* check = m_includeChecks[i];
        const QSignalBlocker quiet(check);
        check->setChecked(entry.isIncluded);
        // A note takes the right of the row; the title keeps the rest.
        check->resize(note.isEmpty() ? 320 : 200, 20);
        m_calendarNotes[i]->setText(m_viewModel->hasChange(entry.id) ? EventForm::changeLink(note)
                                                                     : note.toHtmlEscaped());
        m_calendarNotes[i]->setToolTip(note);
        setTextColor(m_calendarNotes[i], entry.isIncluded ? kOrange : kSecondaryText);
    }
}

void ConfirmPanel::showComparison(const std::optional<CalendarComparison>& comparison) {
    if (m_finished) return;
    saveForm();
    m_viewModel->setComparison(comparison);
    showCalendarNotes();
    updateValidation();
}

void ConfirmPanel::showWriteOutcome(const WriteReceipt& receipt) {
    if (m_finished) return;
    m_writing = false;
    m_viewModel->recordWrite(receipt);
    showCalendarNotes();
    updateValidation();
}

void ConfirmPanel::toggleChange(const QUuid& id) {
    m_viewModel->setAppliesChange(id, !m_viewModel->appliesChange(id));
    showCalendarNotes();
    updateValidation();
}

void ConfirmPanel::updateValidation() {
    const QUuid selected = m_viewModel->selectedEventID();
    const QString messages = m_viewModel->selectedMessages();
    m_form->showMessages(messages, m_viewModel->hasChange(selected) &&
                                       messages == m_viewModel->calendarNote(selected));
    m_writeButton->setEnabled(m_viewModel->canWrite() && !m_writing);
}

// --- Actions -------------------------------------------------------------------------------

void ConfirmPanel::calendarChanged(int index) {
    const int calendar = m_calendarPopup->itemData(index).toInt();
    if (calendar < 0 || calendar >= m_calendars.size()) return;
    if (m_viewModel->destinationCalendarID() == m_calendars.at(calendar).id) return;
    m_viewModel->setDestinationCalendarID(m_calendars.at(calendar).id);
    Q_EMIT destinationChanged(m_calendars.at(calendar).id);
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
    if (!m_viewModel->readyToWrite()) return;
    m_writing = true;
    updateValidation();
    if (m_onWrite) m_onWrite(m_viewModel->includedToWrite(), *m_viewModel->destinationCalendarID());
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
