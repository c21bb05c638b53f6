#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

#include "support/Appearance.h"
#include "testkit/CalendarTestEvents.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmPanelPresentation.h"
#include "ui/confirm/EventForm.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;

// --- Geometry ------------------------------------------------------------------------------

// As many list rows as fit, at least two and none for one event; the panel below the ball (or
// above it) inside the ball's screen, else the main one.
TEST(ConfirmPanelGeometry, ShowsTheRowsThatFitAndSitsNearTheBallInsideTheScreen) {
    using namespace ConfirmPanelGeometry;
    EXPECT_EQ(shownRows(1, 1080), 0);
    EXPECT_EQ(shownRows(4, 1080), 4);
    EXPECT_EQ(shownRows(40, 300), 2);
    for (const int screen : {800, 1080}) {  // an exam timetable
        const qsizetype rows = shownRows(40, screen);
        EXPECT_LE(height(rows), screen - 2 * kScreenMargin) << screen;
        EXPECT_GT(height(rows + 1), screen - 2 * kScreenMargin) << screen;
    }
    const QRect screen(0, 0, 1280, 800);
    const QRect second(1280, 0, 1920, 1080);
    const struct {
        const char* name;
        QRect ball;
        int height;
        QList<QRect> screens;
        std::optional<QRect> mainScreen;
        QPoint topLeft;
    } cases[] = {
        {"centred 10 below", {600, 100, 80, 80}, 340, {screen}, screen, {400, 190}},
        {"10 above near the bottom", {600, 600, 80, 80}, 340, {screen}, screen, {400, 250}},
        {"8 inside the right", {1200, 100, 80, 80}, 340, {screen}, screen, {792, 190}},
        {"8 inside the left", {0, 100, 80, 80}, 340, {screen}, screen, {8, 190}},
        {"too tall for either side", {600, 300, 80, 80}, 700, {screen}, screen, {400, 8}},
        {"the ball's screen", {3100, 100, 80, 80}, 340, {screen, second}, screen, {2712, 190}},
        {"else the main one", {5000, 100, 80, 80}, 340, {screen, second}, screen, {792, 190}},
        {"narrow: right wins", {100, 100, 80, 80}, 340, {QRect(0, 0, 400, 800)}, {}, {-88, 190}},
        {"no screen at all", {600, 700, 80, 80}, 340, {}, std::nullopt, {400, 790}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(frame(c.ball, c.height, c.screens, c.mainScreen),
                  QRect(c.topLeft, QSize(kWidth, c.height)))
            << c.name;
    }
}

// --- The event form --------------------------------------------------------------------------

// What the form shows of an event it gives back: values its lists hold as they were, others as
// the lists' first items (no reminder, no repeat, busy), an interval and an end only with a
// repeat. The badges follow the view model, the repeat row the repeat and end lists.
TEST(EventForm, GivesBackWhatItShowsAndBadgesWhatTheTextDidNotState) {
    const auto event = [](std::optional<qint64> reminder, std::optional<QString> repeat,
                          std::optional<QString> availability, int interval = 1,
                          std::optional<RecurrenceEnd> end = {}) {
        ExtractedEvent made = sampleEvent(u"评审"_s);
        made.location = u"三楼"_s;
        made.notes = u"带电脑\n和投影"_s;
        made.reminderMinutes = reminder;
        made.recurrence = repeat;
        made.availability = availability;
        made.recurrenceInterval = interval;
        made.recurrenceEnd = end;
        return made;
    };
    QList<ExtractedEvent> events = {
        event(0, u"weekly"_s, u"tentative"_s, 2, RecurrenceEnd::onDay(QDate(2026, 4, 30))),
        event(1440, u"yearly"_s, u"free"_s),
        event(15, u"daily"_s, u"away"_s, 999, RecurrenceEnd::after(7)), event({}, u"Weekly"_s, {})};
    events[1].allDay = true;
    events[1].endDate = test::localTime(3, 5, 10);
    const QList<ExtractedEvent> saved = {
        events[0], events[1], event({}, u"daily"_s, u"busy"_s, 999, RecurrenceEnd::after(7)),
        event({}, {}, u"busy"_s)};
    events[0].fieldOrigins = {{EventField::endDate, FieldOrigin::defaulted},
                              {EventField::location, FieldOrigin::inferred},
                              {EventField::title, FieldOrigin::source}};
    events[1].fieldOrigins = {{EventField::endDate, FieldOrigin::inferred}};
    const QStringList badges[] = {
        {{}, u"推断"_s, u"默认"_s}, {{}, {}, u"推断"_s}, {{}, {}, {}}, {{}, {}, {}}};
    const QString units[] = {u"周"_s, u"年"_s, u"天"_s, QString()};  // every 2 weeks...
    const ConfirmPanelViewModel viewModel(events);

    QWidget panel;
    EventForm form(&panel, 306);
    const auto find = [&](const char* name) {
        return panel.findChild<QWidget*>(QLatin1String(name));
    };
    const auto badge = [&](const char* name) {
        return panel.findChild<QLabel*>(QLatin1String(name) + u"Badge"_s);
    };
    auto* const start = panel.findChild<QDateTimeEdit*>(u"startPicker"_s);
    auto* const end = panel.findChild<QDateTimeEdit*>(u"endPicker"_s);
    QList<QColor> endColours;
    for (qsizetype i = 0; i < events.size(); ++i) {
        SCOPED_TRACE(i);
        const EditableEvent& entry = viewModel.events().at(i);
        form.load(entry.event, viewModel, entry.id);
        EXPECT_EQ(form.edited(ExtractedEvent()), saved[i]);
        QStringList shown;
        for (const char* name : {"title", "location", "end"}) {
            shown.append(badge(name)->isHidden() ? QString() : badge(name)->text());
        }
        EXPECT_EQ(shown, badges[i]);
        endColours.append(badge("end")->palette().color(QPalette::WindowText));
        EXPECT_EQ(end->displayedSections() == QDateTimeEdit::DateSections_Mask, i == 1);
        EXPECT_EQ(panel.findChild<QLabel*>(u"intervalUnit"_s)->text(), units[i]);
        EXPECT_EQ(find("intervalSpin")->isEnabled(), i != 3);
        EXPECT_EQ(find("repeatEndPopup")->isEnabled(), i != 3);
        EXPECT_EQ(!find("untilPicker")->isHidden(), i == 0);
        EXPECT_EQ(!find("countSpin")->isHidden(), i == 2);
    }
    EXPECT_NE(endColours.at(0), endColours.at(1));  // a defaulted end has a colour of its own

    // Ticking the all-day box shows dates only in both pickers and keeps the hidden time.
    panel.findChild<QCheckBox*>(u"allDayCheck"_s)->click();
    EXPECT_EQ(start->displayedSections(), QDateTimeEdit::DateSections_Mask);
    EXPECT_EQ(end->displayedSections(), QDateTimeEdit::DateSections_Mask);
    const ExtractedEvent ticked = form.edited(ExtractedEvent());
    EXPECT_TRUE(ticked.allDay);
    EXPECT_EQ(std::pair(ticked.startDate, ticked.endDate),
              std::pair(sampleEvent().startDate, sampleEvent().endDate));

    // Picked in the form: every 4 weeks, 3 times; then no repeat at all.
    form.load(viewModel.events().at(0).event, viewModel, viewModel.events().at(0).id);
    panel.findChild<QSpinBox*>(u"intervalSpin"_s)->setValue(4);
    panel.findChild<QComboBox*>(u"repeatEndPopup"_s)->setCurrentIndex(2);
    EXPECT_TRUE(find("untilPicker")->isHidden());
    panel.findChild<QSpinBox*>(u"countSpin"_s)->setValue(3);
    EXPECT_EQ(form.edited(ExtractedEvent()),
              event(0, u"weekly"_s, u"tentative"_s, 4, RecurrenceEnd::after(3)));
    panel.findChild<QComboBox*>(u"repeatPopup"_s)->setCurrentIndex(0);
    EXPECT_FALSE(find("intervalSpin")->isEnabled());
    EXPECT_EQ(form.edited(ExtractedEvent()), event(0, {}, u"tentative"_s));
}

// --- The panel -------------------------------------------------------------------------------

namespace {

const CalendarChoice kHome{u"home"_s, u"家"_s, u"#FF0000"_s};
const CalendarChoice kWork{u"work"_s, u"Work"_s, u"#00FF00"_s};
const QRect kBall(600, 100, 80, 80);

class ConfirmPanelTest : public ::testing::Test {
protected:
    /// Opens a panel over `events`; the callbacks record what they get and whether the panel
    /// was still visible then.
    void open(const QList<ExtractedEvent>& events) {
        viewModel = std::make_shared<ConfirmPanelViewModel>(events);
        panel = std::make_unique<ConfirmPanel>(
            viewModel, QList<CalendarChoice>{kHome, kWork}, kBall,
            [this](QList<EventToWrite> included, QString calendarID) {
                QList<ExtractedEvent> written;
                for (const EventToWrite& pending : included) written.append(pending.event);
                writes.append({written, calendarID});
                visibleInCallback = panel->isVisible();
            },
            [this] {
                ++discards;
                visibleInCallback = panel->isVisible();
            });
        panel->show();
    }
    void open(const QStringList& titles) {
        QList<ExtractedEvent> events;
        for (const QString& title : titles) events.append(sampleEvent(title));
        open(events);
    }

    template <typename T>
    T* child(const QString& name) const {
        T* found = panel->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QPushButton* button(const QString& name) const { return child<QPushButton>(name); }
    void click(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void setTitle(const QString& text) const {
        auto* field = child<QLineEdit>(u"titleField"_s);
        field->selectAll();
        field->insert(text);  // as typed (key clicks carry ASCII only)
    }
    void toggle(qsizetype row) const {
        QTest::mouseClick(child<QCheckBox>(u"includeCheck"_s + QString::number(row)),
                          Qt::LeftButton, {}, QPoint(8, 10));
    }
    void key(Qt::Key key) const { QTest::keyClick(child<QLineEdit>(u"titleField"_s), key); }
    bool writeEnabled() const { return button(u"writeButton"_s)->isEnabled(); }
    QString message() const { return child<QLabel>(u"validationLabel"_s)->text(); }

    std::shared_ptr<ConfirmPanelViewModel> viewModel;
    std::unique_ptr<ConfirmPanel> panel;
    QList<std::pair<QList<ExtractedEvent>, QString>> writes;
    int discards = 0;
    bool visibleInCallback = true;
};

}  // namespace

TEST_F(ConfirmPanelTest, ReturnWritesTheEditedEventsOnceWhileThePanelWaitsForTheOutcome) {
    Appearance::setPanelOpacity(0.9);
    ExtractedEvent first = sampleEvent(u"评审"_s);
    first.availability = u"free"_s;
    first.sourceText = u"下周一评审"_s;
    first.fieldOrigins = {{EventField::endDate, FieldOrigin::defaulted}};
    open({first, sampleEvent(u"午餐"_s)});
    // Drawn as dark rounded material: the window itself is translucent.
    const QImage picture = panel->grab().toImage();
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
    EXPECT_LT(picture.pixelColor(240, 5).lightness(), 60);
    EXPECT_GT(picture.pixelColor(240, 5).alpha(), 200);
    EXPECT_NEAR(panel->windowOpacity(), 0.9, 0.01);
    Appearance::setPanelOpacity(0.75);  // followed while open
    EXPECT_NEAR(panel->windowOpacity(), 0.75, 0.01);

    auto* calendars = child<QComboBox>(u"calendarPopup"_s);
    EXPECT_EQ(calendars->currentText(), u"家"_s);
    calendars->setCurrentIndex(1);
    Q_EMIT calendars->activated(1);
    setTitle(u"项目评审"_s);
    key(Qt::Key_Return);
    key(Qt::Key_Return);  // a panel that is writing ignores it

    ASSERT_EQ(writes.size(), 1);
    EXPECT_TRUE(visibleInCallback);
    EXPECT_TRUE(panel->isWriting());
    EXPECT_FALSE(writeEnabled());
    ExtractedEvent expected = first;
    expected.title = u"项目评审"_s;
    EXPECT_EQ(writes.at(0),
              std::pair(QList<ExtractedEvent>{expected, sampleEvent(u"午餐"_s)}, u"work"_s));
    EXPECT_EQ(discards, 0);
}

TEST_F(ConfirmPanelTest, ALongListScrollsAndTheWriteButtonStaysOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const int count : {40, 150}) {
        QStringList titles;
        for (int i = 0; i < count; ++i) titles.append(u"考试 "_s + QString::number(i));
        open(titles);
        const qsizetype listed = viewModel->events().size();
        EXPECT_TRUE(child<QLabel>(u"heading"_s)->text().contains(QString::number(listed)));
        EXPECT_TRUE(screen.contains(panel->geometry())) << count;
        const QRect writeButton(button(u"writeButton"_s)->mapToGlobal(QPoint()),
                                button(u"writeButton"_s)->size());
        EXPECT_TRUE(screen.contains(writeButton)) << count;

        auto* list = child<QScrollArea>(u"eventList"_s);
        EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
        const QString last = QString::number(listed - 1);
        list->ensureWidgetVisible(child<QCheckBox>(u"includeCheck"_s + last));
        toggle(listed - 1);
        EXPECT_FALSE(viewModel->events().last().isIncluded);
        click(u"editButton"_s + last);
        EXPECT_EQ(child<QLineEdit>(u"titleField"_s)->text(), titles.at(listed - 1));

        const QList<QLabel*> notes = panel->findChildren<QLabel*>(u"omittedNote"_s);
        ASSERT_EQ(notes.size(), count > listed ? 1 : 0);
        for (const QLabel* note : notes) EXPECT_EQ(note->text(), viewModel->omittedMessage());
    }
}

TEST_F(ConfirmPanelTest, AnEmptiedTitleCountsFromTheNextSaveAndOnlyWhileIncluded) {
    open(QStringList{u"a"_s, u"b"_s});
    setTitle(u"   "_s);
    EXPECT_TRUE(writeEnabled());  // not saved yet
    click(u"editButton1"_s);
    EXPECT_FALSE(writeEnabled());
    EXPECT_EQ(message(), QString());
    EXPECT_EQ(child<QLineEdit>(u"titleField"_s)->text(), u"b"_s);
    key(Qt::Key_Return);
    EXPECT_TRUE(writes.isEmpty());

    click(u"editButton0"_s);
    EXPECT_EQ(message(), u"标题不能为空"_s);
    EXPECT_EQ(child<QLineEdit>(u"titleField"_s)->text(), u"   "_s);
    // The list keeps the titles the events came with.
    EXPECT_EQ(child<QCheckBox>(u"includeCheck0"_s)->text(), u"a"_s);

    toggle(0);
    EXPECT_TRUE(writeEnabled());
    EXPECT_EQ(message(), QString());
    // With every event left out the button stays but writes nothing.
    toggle(1);
    click(u"writeButton"_s);
    EXPECT_TRUE(writes.isEmpty());
    EXPECT_TRUE(panel->isVisible());
    toggle(1);
    key(Qt::Key_Return);
    ASSERT_EQ(writes.size(), 1);
    ExtractedEvent second = sampleEvent(u"b"_s);
    second.availability = u"busy"_s;  // saved from the form
    EXPECT_EQ(writes.at(0).first, QList<ExtractedEvent>{second});
}

TEST_F(ConfirmPanelTest, TheDiscardQuestionIsAskedOnceAndCanBeLeft) {
    open(QStringList{u"a"_s});
    // One event: no list, the smallest panel.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(panel->geometry(), ConfirmPanelGeometry::frame(kBall, ConfirmPanelGeometry::height(0),
                                                             {screen}, screen));
    EXPECT_TRUE(panel->findChildren<QCheckBox*>(u"includeCheck0"_s).isEmpty());

    setTitle(u"改过的"_s);
    const auto questionShown = [&] {
        return child<QLabel>(u"discardQuestion"_s)->isVisible() &&
               !button(u"writeButton"_s)->isVisible() && !button(u"discardButton"_s)->isVisible();
    };
    key(Qt::Key_Escape);
    EXPECT_TRUE(questionShown());
    key(Qt::Key_Escape);
    EXPECT_TRUE(panel->isConfirmingDiscard());
    key(Qt::Key_Return);  // the hidden write button does not fire
    EXPECT_TRUE(writes.isEmpty());

    click(u"continueEditingButton"_s);
    EXPECT_FALSE(panel->isConfirmingDiscard() || child<QLabel>(u"discardQuestion"_s)->isVisible());
    EXPECT_TRUE(button(u"writeButton"_s)->isVisible());
    EXPECT_EQ(child<QLineEdit>(u"titleField"_s)->text(), u"改过的"_s);

    click(u"discardButton"_s);
    EXPECT_TRUE(questionShown());
    click(u"confirmDiscardButton"_s);
    EXPECT_EQ(discards, 1);
    EXPECT_FALSE(visibleInCallback);
    panel->requestDiscard();
    EXPECT_FALSE(panel->isConfirmingDiscard() && panel->isVisible());
    click(u"confirmDiscardButton"_s);
    EXPECT_EQ(discards, 1);
    EXPECT_TRUE(writes.isEmpty());
}

// The form's controls lie inside the panel and none covers another, with and without a list.
TEST_F(ConfirmPanelTest, NoControlCoversAnotherAndAllLieInsideThePanel) {
    for (const int count : {1, 2, 5}) {
        SCOPED_TRACE(count);
        QList<ExtractedEvent> events(count, sampleEvent(u"例会"_s));
        events[0].recurrence = u"weekly"_s;
        events[0].recurrenceEnd = RecurrenceEnd::onDay(QDate(2026, 6, 30));
        open(events);
        EXPECT_EQ(panel->height(), ConfirmPanelGeometry::height(count > 1 ? count : 0));
        QList<QWidget*> shown;
        for (QWidget* widget : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (widget->isVisible()) shown.append(widget);
        }
        ASSERT_GE(shown.size(), 20);
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const QWidget* a = shown[i];
            EXPECT_TRUE(panel->rect().contains(a->geometry())) << a->objectName().toStdString();
            for (qsizetype j = i + 1; j < shown.size(); ++j) {
                const QWidget* b = shown[j];
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " / " << b->objectName().toStdString();
            }
        }
    }
}
