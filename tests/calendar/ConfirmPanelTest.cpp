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
#include <QTest>

#include "support/Appearance.h"
#include "testkit/CalendarTestEvents.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmPanelPresentation.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::localTime;
using zorbel::test::sampleEvent;

// --- Geometry ------------------------------------------------------------------------------

TEST(ConfirmPanelGeometry, ShowsTheRowsThatFitAtLeastTwoAndNoneForOneEvent) {
    using namespace ConfirmPanelGeometry;
    EXPECT_EQ(shownRows(1, 1080), 0);
    EXPECT_EQ(shownRows(4, 1080), 4);
    EXPECT_EQ(shownRows(40, 300), 2);
    // An exam timetable: as many rows as leave the margin above and below.
    for (const int screen : {800, 1080}) {
        const qsizetype rows = shownRows(40, screen);
        EXPECT_LE(height(rows), screen - 2 * kScreenMargin) << screen;
        EXPECT_GT(height(rows + 1), screen - 2 * kScreenMargin) << screen;
    }
}

TEST(ConfirmPanelGeometry, PanelSitsBelowTheBallAndStaysInsideTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QRect second(1280, 0, 1920, 1080);
    struct Case {
        const char* name;
        QRect ball;
        int height;
        QList<QRect> screens;
        std::optional<QRect> mainScreen;
        QPoint topLeft;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        EXPECT_EQ(ConfirmPanelGeometry::frame(c.ball, c.height, c.screens, c.mainScreen),
                  QRect(c.topLeft, QSize(ConfirmPanelGeometry::kWidth, c.height)))
            << c.name;
    }
}

// --- The panel -------------------------------------------------------------------------------

namespace {

const CalendarChoice kHome{u"home"_s, u"家"_s, u"#FF0000"_s};
const CalendarChoice kWork{u"work"_s, u"Work"_s, u"#00FF00"_s};

class ConfirmPanelTest : public ::testing::Test {
protected:
    /// Opens a panel over `events`; the callbacks record what they get and whether the panel
    /// was still visible then.
    void open(const QList<ExtractedEvent>& events) {
        viewModel = std::make_shared<ConfirmPanelViewModel>(events);
        panel = std::make_unique<ConfirmPanel>(
            viewModel, QList<CalendarChoice>{kHome, kWork}, QRect(600, 100, 80, 80),
            [this](QList<ExtractedEvent> included, QString calendarID) {
                writes.append({included, calendarID});
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

TEST_F(ConfirmPanelTest, OneEventHasNoListAndTheDefaultCalendar) {
    open({sampleEvent(u"评审"_s)});
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(panel->geometry(),
              ConfirmPanelGeometry::frame(QRect(600, 100, 80, 80), ConfirmPanelGeometry::height(0),
                                          {screen}, screen));
    EXPECT_TRUE(panel->findChildren<QCheckBox*>(u"includeCheck0"_s).isEmpty());
    EXPECT_EQ(child<QLabel>(u"heading"_s)->text(), ConfirmPanelPresentation::make(1).title);
    EXPECT_EQ(child<QComboBox>(u"calendarPopup"_s)->currentText(), u"家"_s);
    EXPECT_EQ(viewModel->destinationCalendarID(), u"home"_s);
}

TEST_F(ConfirmPanelTest, ReturnWritesTheEditedEventsOnceAfterClosing) {
    ExtractedEvent first = sampleEvent(u"评审"_s);
    first.reminderMinutes = 30;
    first.recurrence = u"weekly"_s;
    first.availability = u"free"_s;
    first.sourceText = u"下周一评审"_s;
    open({first, sampleEvent(u"午餐"_s)});
    EXPECT_EQ(panel->height(), ConfirmPanelGeometry::height(2));
    EXPECT_EQ(child<QLabel>(u"heading"_s)->text(), ConfirmPanelPresentation::make(2).title);
    EXPECT_EQ(child<QComboBox>(u"reminderPopup"_s)->currentText(), u"提前30分钟"_s);
    EXPECT_EQ(child<QComboBox>(u"repeatPopup"_s)->currentText(), u"每周"_s);
    EXPECT_EQ(child<QComboBox>(u"availabilityPopup"_s)->currentText(), u"空闲"_s);

    auto* calendars = child<QComboBox>(u"calendarPopup"_s);
    calendars->setCurrentIndex(1);
    Q_EMIT calendars->activated(1);
    setTitle(u"项目评审"_s);
    key(Qt::Key_Return);
    key(Qt::Key_Return);  // a finished panel ignores it

    ASSERT_EQ(writes.size(), 1);
    EXPECT_FALSE(visibleInCallback);
    EXPECT_TRUE(panel->isFinished());
    EXPECT_EQ(writes.at(0).second, u"work"_s);
    ExtractedEvent expected = first;
    expected.title = u"项目评审"_s;
    EXPECT_EQ(writes.at(0).first, (QList<ExtractedEvent>{expected, sampleEvent(u"午餐"_s)}));
    EXPECT_EQ(discards, 0);
}

TEST_F(ConfirmPanelTest, ExcludingEveryEventKeepsTheButtonButWritesNothing) {
    open(QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    for (int i = 0; i < 4; ++i) toggle(i);
    EXPECT_TRUE(viewModel->includedEvents().isEmpty());
    EXPECT_TRUE(writeEnabled());
    click(u"writeButton"_s);
    EXPECT_TRUE(writes.isEmpty());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(panel->isFinished());
}

TEST_F(ConfirmPanelTest, ALongListScrollsAndTheWriteButtonStaysOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const int count : {40, 150}) {
        QStringList titles;
        for (int i = 0; i < count; ++i) titles.append(u"考试 "_s + QString::number(i));
        open(titles);
        const qsizetype listed = std::min<qsizetype>(count, ConfirmPanelViewModel::kMaxEvents);
        ASSERT_EQ(viewModel->events().size(), listed);
        EXPECT_EQ(child<QLabel>(u"heading"_s)->text(),
                  ConfirmPanelPresentation::make(listed).title);
        EXPECT_TRUE(screen.contains(panel->geometry())) << count;
        const QRect writeButton(button(u"writeButton"_s)->mapToGlobal(QPoint()),
                                button(u"writeButton"_s)->size());
        EXPECT_TRUE(screen.contains(writeButton)) << count;

        auto* list = child<QScrollArea>(u"eventList"_s);
        EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
        list->ensureWidgetVisible(
            child<QCheckBox>(u"includeCheck"_s + QString::number(listed - 1)));
        toggle(listed - 1);
        EXPECT_FALSE(viewModel->events().last().isIncluded);
        QTest::mouseClick(button(u"editButton"_s + QString::number(listed - 1)), Qt::LeftButton);
        EXPECT_EQ(child<QLineEdit>(u"titleField"_s)->text(), titles.at(listed - 1));

        const QList<QLabel*> notes = panel->findChildren<QLabel*>(u"omittedNote"_s);
        if (count > ConfirmPanelViewModel::kMaxEvents) {
            ASSERT_EQ(notes.size(), 1);
            EXPECT_EQ(notes.first()->text(), u"另有 50 个日程超出单次上限（100 个），未列出"_s);
        } else {
            EXPECT_TRUE(notes.isEmpty());
        }
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
    key(Qt::Key_Return);
    ASSERT_EQ(writes.size(), 1);
    ExtractedEvent second = sampleEvent(u"b"_s);
    second.availability = u"busy"_s;  // saved from the form, where none reads as "忙碌"
    EXPECT_EQ(writes.at(0).first, QList<ExtractedEvent>{second});
}

TEST_F(ConfirmPanelTest, TheDiscardQuestionIsAskedOnceAndCanBeLeft) {
    open(QStringList{u"a"_s});
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
    EXPECT_FALSE(panel->isConfirmingDiscard());
    EXPECT_FALSE(child<QLabel>(u"discardQuestion"_s)->isVisible());
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

TEST_F(ConfirmPanelTest, AForcedCloseCallsNoOneAndIgnoresEverythingAfter) {
    open(QStringList{u"a"_s, u"b"_s});
    panel->requestDiscard();
    panel->forceClose();
    EXPECT_FALSE(panel->isVisible());
    click(u"confirmDiscardButton"_s);
    click(u"writeButton"_s);
    panel->requestDiscard();
    EXPECT_EQ(discards, 0);
    EXPECT_TRUE(writes.isEmpty());
}

TEST_F(ConfirmPanelTest, BadgesFollowTheOriginsAndStayAfterEditing) {
    ExtractedEvent first = sampleEvent(u"a"_s);
    first.fieldOrigins = {{EventField::endDate, FieldOrigin::defaulted},
                          {EventField::location, FieldOrigin::inferred},
                          {EventField::title, FieldOrigin::source}};
    ExtractedEvent second = sampleEvent(u"b"_s);
    second.fieldOrigins = {{EventField::endDate, FieldOrigin::inferred}};
    open({first, second});
    auto* endBadge = child<QLabel>(u"endBadge"_s);
    EXPECT_FALSE(child<QLabel>(u"titleBadge"_s)->isVisible());
    EXPECT_TRUE(child<QLabel>(u"locationBadge"_s)->isVisible());
    EXPECT_EQ(child<QLabel>(u"locationBadge"_s)->text(), u"推断"_s);
    ASSERT_TRUE(endBadge->isVisible());
    EXPECT_EQ(endBadge->text(), u"默认"_s);
    const QColor blue = endBadge->palette().color(QPalette::WindowText);

    child<QDateTimeEdit>(u"endPicker"_s)->setDateTime(localTime(3, 3, 12).toLocalTime());
    click(u"editButton1"_s);
    EXPECT_EQ(endBadge->text(), u"推断"_s);
    EXPECT_NE(endBadge->palette().color(QPalette::WindowText), blue);
    click(u"editButton0"_s);
    EXPECT_EQ(endBadge->text(), u"默认"_s);
    EXPECT_EQ(endBadge->palette().color(QPalette::WindowText), blue);
    EXPECT_EQ(viewModel->events().at(0).event.endDate, localTime(3, 3, 12));
}

TEST_F(ConfirmPanelTest, TheAllDayBoxSwitchesBothPickersToDatesOnly) {
    open(QStringList{u"a"_s});
    auto* start = child<QDateTimeEdit>(u"startPicker"_s);
    auto* end = child<QDateTimeEdit>(u"endPicker"_s);
    EXPECT_TRUE(start->displayedSections() & QDateTimeEdit::MinuteSection);
    QTest::mouseClick(child<QCheckBox>(u"allDayCheck"_s), Qt::LeftButton, {}, QPoint(8, 11));
    for (const QDateTimeEdit* picker : {start, end}) {
        EXPECT_EQ(picker->displayedSections(), QDateTimeEdit::YearSection |
                                                   QDateTimeEdit::MonthSection |
                                                   QDateTimeEdit::DaySection);
    }
    EXPECT_EQ(start->dateTime().toUTC(), localTime(3, 3, 10));  // the time is kept
    key(Qt::Key_Return);
    ASSERT_EQ(writes.size(), 1);
    EXPECT_TRUE(writes.at(0).first.at(0).allDay);
    EXPECT_EQ(writes.at(0).first.at(0).endDate, localTime(3, 3, 11));
}

TEST_F(ConfirmPanelTest, OpacityFollowsTheSettingWhileOpen) {
    Appearance::setPanelOpacity(0.9);
    open(QStringList{u"a"_s});
    EXPECT_NEAR(panel->windowOpacity(), 0.9, 0.01);
    Appearance::setPanelOpacity(0.75);
    EXPECT_NEAR(panel->windowOpacity(), 0.75, 0.01);
}

// Draws the panel as it appears on screen: dark rounded material, red messages. With
// ZORBEL_PANEL_PICTURES set to a folder, the picture is also saved there for a look by eye.
TEST_F(ConfirmPanelTest, DrawsTheDarkRoundedMaterialAndRedMessages) {
    ExtractedEvent event = sampleEvent(u"项目评审会"_s);
    event.location = u"三楼会议室"_s;
    event.fieldOrigins = {{EventField::endDate, FieldOrigin::defaulted}};
    ExtractedEvent invalid = sampleEvent(u"午餐"_s);
    invalid.endDate = invalid.startDate;
    open({event, invalid, sampleEvent(u"周会"_s)});
    click(u"editButton1"_s);
    const QImage picture = panel->grab().toImage();
    if (const QString folder = qEnvironmentVariable("ZORBEL_PANEL_PICTURES"); !folder.isEmpty()) {
        picture.save(folder + u"/confirm-panel.png"_s);
    }
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);  // the rounded corner
    const QColor material = picture.pixelColor(240, 5);
    EXPECT_LT(material.lightness(), 60);
    EXPECT_GT(material.alpha(), 200);
    const QRect messageArea = child<QLabel>(u"validationLabel"_s)->geometry();
    bool red = false;
    for (int x = messageArea.left(); x <= messageArea.right() && !red; ++x) {
        for (int y = messageArea.top(); y <= messageArea.bottom() && !red; ++y) {
            const QColor c = picture.pixelColor(x, y);
            red = c.red() > 180 && c.green() < 120 && c.blue() < 120;
        }
    }
    EXPECT_TRUE(red);
}
