// The ball window with substitute capture services, synthetic input and an injected clock.

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QUrl>

#include "calendar/CalendarWriter.h"
#include "capture/ProcessingStatusPresentation.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCaptureServices.h"
#include "testkit/LogCapture.h"
#include "testkit/TempXdg.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/FloatingBallWindow.h"
#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmationFlow.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::spinUntil;
using Kind = CaptureState::Kind;
using Action = ProcessingStatusPresentation::Action;

namespace {

const QRectF kScreen(0, 0, 1280, 800);
constexpr quint32 kScreenID = 7;
const QList<ScreenInfo> kScreens{{kScreen, kScreen, kScreenID}};
const QStringList kTapTooShort{u"tapTooShort"_s};

class BallViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        BallView::Options options;
        options.now = [this] { return clock; };
        options.voiceExplanation = [this] { ++explanations; };
        options.successHold = std::chrono::milliseconds(20);
        options.frameInterval = std::chrono::milliseconds(0);
        options.screens = [] { return kScreens; };
        options.snapTiming = {std::chrono::milliseconds(0), std::chrono::milliseconds(30)};
        window = std::make_unique<FloatingBallWindow>(
            BallServices{fakes.speech, fakes.files, fakes.model, fakes.permissions, fakes.consent},
            std::make_shared<CalendarWriter>(Preferences::standard(), nullptr), options);
        window->show();
        view = window->ballView();
        // The view's own contract is tested here; the window's confirmation flow has its test.
        view->setConfirmation({});
    }
    void TearDown() override {
        EXPECT_TRUE(fakes.settle());
        window.reset();
    }

    void mouse(QEvent::Type type, QPointF local) {
        const QPointF global = QPointF(window->pos()) + local;
        QMouseEvent event(
            type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }
    void press(QPointF at = {32, 32}) { mouse(QEvent::MouseButtonPress, at); }
    void release(QPointF at = {32, 32}) { mouse(QEvent::MouseButtonRelease, at); }
    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(view, Qt::Key(code), modifiers);
    }
    Kind kind() const { return view->renderState().kind(); }
    bool reaches(Kind wanted) {
        return spinUntil([&] { return kind() == wanted; }, 2000);
    }
    /// The part of the ball on the screen, in the view's coordinates.
    QRectF shownPart() const {
        return QRectF(window->geometry().intersected(kScreen.toRect()).translated(-window->pos()));
    }
    /// Sends a drag event (entering or dropping) with `data`; whether the view accepted it.
    template <typename Event>
    bool drag(QMimeData* data) {
        Event event({32, 32}, Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
        return event.isAccepted();
    }
    void dragLeave() {
        QDragLeaveEvent leave;
        QApplication::sendEvent(view, &leave);
    }

    zorbel::test::TempXdg xdg;
    zorbel::test::LogCapture log;
    zorbel::test::FakeCaptureServices fakes;
    double clock = 100;
    int explanations = 0;
    std::unique_ptr<FloatingBallWindow> window;
    BallView* view = nullptr;
};

}  // namespace

TEST_F(BallViewTest, HoldingRecordsAndOnlyAReleaseAfterTheHoldTimeFinishes) {
    press();
    ASSERT_TRUE(reaches(Kind::recording));
    clock += 0.5;
    release();
    EXPECT_EQ(kind(), Kind::idle);
    EXPECT_EQ(log.failureCodes(), kTapTooShort);

    QList<ExtractedEvent> received;
    view->setConfirmation({[&](QList<ExtractedEvent> events) { received = events; }, {}, {}});
    clock = 1;
    press();
    ASSERT_TRUE(reaches(Kind::recording));
    clock = 1.8;  // exactly the hold time (1.8 − 1 is 0.8 in binary too)
    release();
    ASSERT_TRUE(reaches(Kind::confirmation));
    EXPECT_EQ(received.size(), 1);
    // The explanation came once, before the first recording, and is remembered.
    EXPECT_EQ(explanations, 1);
    EXPECT_TRUE(Preferences::standard()->boolean(BallView::voiceExplainedKey));
}

TEST_F(BallViewTest, AClickCancelsARecordingEvenOneStartedAfterTheReleaseAndProcessingIgnoresIt) {
    fakes.permissions->voice.hold();
    press();
    ASSERT_TRUE(spinUntil([&] { return fakes.permissions->voice.waiting() == 1; }, 2000));
    clock += 0.1;
    release();  // the coordinator has not reported recording yet: nothing happens
    fakes.permissions->voice.hold(false);
    fakes.permissions->voice.release();
    ASSERT_TRUE(reaches(Kind::recording));
    EXPECT_TRUE(log.failureCodes().isEmpty());
    press();  // ignored while recording: no press time is kept
    clock += 5;
    release();
    EXPECT_EQ(kind(), Kind::idle);
    EXPECT_EQ(log.failureCodes(), kTapTooShort);

    fakes.model->reply.hold();
    view->analyzePastedText(u"明天上午九点开会"_s);
    ASSERT_TRUE(reaches(Kind::processing));
    press();
    QCoreApplication::processEvents();
    release();
    EXPECT_EQ(fakes.speech->starts, 1);
    EXPECT_EQ(kind(), Kind::processing);
}

TEST_F(BallViewTest, KeysAndTheAccessiblePressToggleAndAnOpenConfirmationIsAskedToDiscardInstead) {
    QAccessibleInterface* ball = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->role(), QAccessible::Button);
    ball->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(reaches(Kind::recording));
    EXPECT_EQ(ball->text(QAccessible::Value), u"正在录音，松开结束");
    EXPECT_EQ(view->lastAnnouncement(),
              ProcessingStatusPresentation::make(CaptureState::recording()).title);
    key(Qt::Key_Escape);
    EXPECT_EQ(kind(), Kind::idle);
    EXPECT_GE(fakes.speech->cancels, 1);

    key(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(reaches(Kind::recording));
    key(Qt::Key_Return);               // finishes: transcript, then the model
    ASSERT_TRUE(reaches(Kind::idle));  // no confirmation flow: logged and back to idle
    EXPECT_TRUE(log.failureCodes().contains(u"confirmationUnavailable"_s));

    int discards = 0;
    view->setConfirmation({{}, [&] { return ++discards > 0; }, {}});
    key(Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(discards, 1);
    EXPECT_EQ(fakes.speech->starts, 2);
    EXPECT_EQ(kind(), Kind::idle);
}

TEST_F(BallViewTest, ADragCancelsTheCaptureMovesTheWindowWithThePointerAndIsRemembered) {
    window->move(400, 300);
    key(Qt::Key_Space);
    ASSERT_TRUE(reaches(Kind::recording));
    press({32, 32});
    mouse(QEvent::MouseMove, {32, 36.9});  // short of a drag
    EXPECT_EQ(window->pos(), QPoint(400, 300));
    EXPECT_EQ(kind(), Kind::recording);
    mouse(QEvent::MouseMove, {35, 36});  // 3-4-5: exactly the threshold
    EXPECT_EQ(kind(), Kind::idle);
    EXPECT_EQ(window->pos(), QPoint(403, 304));
    mouse(QEvent::MouseMove, {49, 48});
    EXPECT_EQ(window->pos(), QPoint(420, 320));
    release({49, 48});
    // Released far from the edges: stays free and is remembered.
    EXPECT_FALSE(view->edgeSnapController()->isHidden());
    EXPECT_EQ(Preferences::standard()->value(EdgeSnapController::parkedFrameKey).toRectF(),
              QRectF(420, 320, 64, 64));
    EXPECT_EQ(Preferences::standard()->integer(EdgeSnapController::parkedScreenIDKey), kScreenID);
    EXPECT_TRUE(log.failureCodes().isEmpty());  // a drag is no "tapTooShort"
}

TEST_F(BallViewTest, ADockedBallIgnoresPressesAndSlidesOutForThePointerADragOrAssistiveTechnology) {
    EdgeSnapController* snap = view->edgeSnapController();
    const QVariant remembered = Preferences::standard()->value(EdgeSnapController::parkedFrameKey);
    window->move(30, 500);
    ASSERT_TRUE(snap->handleRelease());
    EXPECT_EQ(shownPart().width(), 20);
    EXPECT_EQ(snap->trackingRectInView(), shownPart());  // the pointer is watched over the sliver
    EXPECT_EQ(view->accessibilityValue(), u"已贴边隐藏");
    EXPECT_EQ(Preferences::standard()->value(EdgeSnapController::parkedFrameKey), remembered);
    const QImage collapsed = view->grab().toImage();
    press({50, 32});
    release({50, 32});
    QCoreApplication::processEvents();
    EXPECT_EQ(fakes.speech->starts, 0);

    snap->expand();
    EXPECT_EQ(window->pos(), QPoint(8, 500));
    EXPECT_EQ(snap->trackingRectInView(), shownPart());
    EXPECT_NE(view->grab().toImage(), collapsed);  // drawn small inside the sliver until now
    snap->scheduleCollapse();
    snap->expand();  // re-entering keeps the pending collapse
    ASSERT_TRUE(spinUntil([&] { return snap->isCollapsed(); }, 2000));
    EXPECT_EQ(shownPart().width(), 20);

    QMimeData text;
    text.setText(u"周三 14:00 面试"_s);
    EXPECT_TRUE(drag<QDragEnterEvent>(&text));
    EXPECT_EQ(shownPart().width(), 64);
    EXPECT_EQ(view->renderState(), CaptureState::dropTarget());
    dragLeave();
    snap->scheduleCollapse();
    ASSERT_TRUE(spinUntil([&] { return snap->isCollapsed(); }, 2000));
    QAccessibleActionInterface* actions =
        QAccessible::queryAccessibleInterface(view)->actionInterface();
    const QString expand = u"展开Zorbel"_s;
    ASSERT_TRUE(actions->actionNames().contains(expand));
    actions->doAction(expand);
    EXPECT_EQ(shownPart().width(), 64);
    EXPECT_FALSE(actions->actionNames().contains(expand));

    // A drag undocks; released mid-screen it stays free.
    press({32, 32});
    mouse(QEvent::MouseMove, {132, 32});
    EXPECT_FALSE(snap->isHidden());
    EXPECT_FALSE(snap->collapsePending());
    release({132, 32});
    EXPECT_FALSE(snap->isHidden());
    EXPECT_EQ(window->pos(), QPoint(108, 500));

    // The chosen skin shows on the next frame.
    const QImage crystal = view->grab().toImage();
    BallSkinPreference::setCurrent(BallSkinCatalog::liquidLens());
    EXPECT_NE(view->grab().toImage(), crystal);
    BallSkinPreference::setCurrent(BallSkinCatalog::crystalMemory());
    EXPECT_EQ(view->grab().toImage(), crystal);
}

// A scan's pages fill the ring clockwise from the top, and a new page does not start the
// animation inside it again.
TEST_F(BallViewTest, AScansPagesFillTheRingWithoutRestartingTheAnimation) {
    const auto reading = [](int done) {
        return CaptureState::processing(ProcessingStage::extracting, PagesRecognized{done, 2});
    };
    view->setRenderState(reading(0));
    clock += 1.0;
    const QImage before = view->grab().toImage();
    view->setRenderState(reading(1));
    const QImage half = view->grab().toImage();
    const QRect inside = QRect(QPoint(), half.size()).adjusted(12, 12, -12, -12);
    EXPECT_EQ(half.copy(inside), before.copy(inside));
    // The ring's right half is drawn full, its left half faint until the last page.
    const QPoint right(half.width() - 2, half.height() / 2);
    const QPoint left(1, half.height() / 2);
    EXPECT_GT(qAlpha(half.pixel(right)), qAlpha(before.pixel(right)));
    EXPECT_GT(qAlpha(half.pixel(right)), qAlpha(half.pixel(left)));
    view->setRenderState(reading(2));
    const QImage whole = view->grab().toImage();
    EXPECT_EQ(qAlpha(whole.pixel(left)), qAlpha(whole.pixel(right)));
}

TEST_F(BallViewTest, AnEmptyPasteFailsBesideTheBallWhereRetryClearsItAndRealTextGoesUntrimmed) {
    QApplication::clipboard()->setText(u"  \n\t "_s);
    key(Qt::Key_V, Qt::ControlModifier);
    const CaptureState empty =
        CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::emptyCapture));
    EXPECT_EQ(view->renderState(), empty);
    EXPECT_EQ(log.failureCodes(), QStringList{u"pasteEmpty"_s});
    EXPECT_TRUE(fakes.model->texts.isEmpty());
    ProcessingStatusPanel& panel = view->statusPanel();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.titleLabel()->text(), ProcessingStatusPresentation::make(empty).title);
    EXPECT_EQ(view->lastAnnouncement(), panel.titleLabel()->text());
    EXPECT_EQ(QPointF(panel.pos()),
              ProcessingStatusPanel::placement(QRectF(window->geometry()), kScreens));
    // "重试" with nothing to repeat clears the failure, which hides the panel.
    QTest::mouseClick(panel.actionButton(), Qt::LeftButton);
    EXPECT_EQ(kind(), Kind::idle);
    EXPECT_FALSE(panel.isVisible());

    QApplication::clipboard()->setText(u" 周五下午两点评审 \n"_s);
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(spinUntil([&] { return !fakes.model->texts.isEmpty() && kind() == Kind::idle; }));
    EXPECT_EQ(fakes.model->texts, QStringList{u" 周五下午两点评审 \n"_s});
    // The log names the kind of capture, never what was pasted.
    EXPECT_TRUE(log.lines().contains(uR"(event=captureStarted(kind: "paste"))"_s));
    for (const QString& line : log.lines()) EXPECT_FALSE(line.contains(u"评审"_s));
}

TEST_F(BallViewTest, DropsInviteWhileIdleUseTheFirstFileOrTheTextAndAreRefusedWhileProcessing) {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(u"/tmp/a.txt"_s), QUrl::fromLocalFile(u"/tmp/b.pdf"_s)});
    ASSERT_TRUE(drag<QDragEnterEvent>(&files));
    EXPECT_EQ(view->renderState(), CaptureState::dropTarget());
    EXPECT_TRUE(view->statusPanel().isVisible());
    dragLeave();
    EXPECT_EQ(kind(), Kind::idle);
    EXPECT_FALSE(view->statusPanel().isVisible());

    fakes.model->reply.hold();
    ASSERT_TRUE(drag<QDragEnterEvent>(&files));
    EXPECT_TRUE(drag<QDropEvent>(&files));
    EXPECT_EQ(fakes.files->textPaths, QStringList{u"/tmp/a.txt"_s});
    ASSERT_TRUE(reaches(Kind::processing));
    EXPECT_FALSE(view->statusPanel().isVisible());
    EXPECT_FALSE(drag<QDragEnterEvent>(&files));
    EXPECT_FALSE(drag<QDropEvent>(&files));
    EXPECT_EQ(kind(), Kind::processing);
    EXPECT_EQ(fakes.files->textPaths.size(), 1);
    fakes.model->reply.hold(false);
    fakes.model->reply.release();
    ASSERT_TRUE(reaches(Kind::idle));

    QMimeData text;
    text.setText(u"下周一 9:00 例会"_s);
    ASSERT_TRUE(drag<QDragEnterEvent>(&text));
    EXPECT_TRUE(drag<QDropEvent>(&text));
    ASSERT_TRUE(spinUntil([&] {
        return fakes.model->texts.contains(u"下周一 9:00 例会"_s) && kind() == Kind::idle;
    }));
}

TEST_F(BallViewTest, SuccessReturnsToIdleUnlessAnotherStateArrivedAndTheClockFollowsVisibility) {
    const CaptureState success = CaptureState::success({u"工作"_s, 2});
    view->setRenderState(success);
    EXPECT_TRUE(view->animationClock().isRunning());
    ASSERT_TRUE(reaches(Kind::idle));
    EXPECT_FALSE(view->animationClock().isRunning());

    view->setRenderState(success);
    view->setRenderState(CaptureState::confirmation());
    spinUntil([] { return false; }, 60);  // longer than the success hold
    EXPECT_EQ(kind(), Kind::confirmation);

    window->hide();
    view->setRenderState(CaptureState::processing(ProcessingStage::understanding));
    EXPECT_FALSE(view->animationClock().isRunning());
    window->show();
    EXPECT_TRUE(view->animationClock().isRunning());
    view->setRenderState(CaptureState::processing(ProcessingStage::understanding));  // same value
    view->setRenderState(CaptureState::dropTarget());
    EXPECT_FALSE(view->animationClock().isRunning());
}

TEST(FloatingBallWindowTest, FoundEventsOpenTheConfirmPanelAndLeavingConfirmationClosesIt) {
    test::TempXdg xdg;  // the local calendar is made in this test's own data folder
    test::FakeCaptureServices fakes;
    FloatingBallWindow window(
        BallServices{fakes.speech, fakes.files, fakes.model, fakes.permissions, fakes.consent},
        std::make_shared<CalendarWriter>(Preferences::standard(), nullptr));
    window.show();
    BallView* const view = window.ballView();
    const auto panel = [&] { return window.confirmationFlow().confirmPanel(); };
    view->analyzePastedText(u"周五下午两点评审"_s);
    ASSERT_TRUE(spinUntil([&] { return panel() && panel()->isVisible(); }));
    EXPECT_EQ(view->renderState(), CaptureState::confirmation());
    view->coordinator().cancel();
    EXPECT_EQ(view->renderState(), CaptureState::idle());
    EXPECT_EQ(panel(), nullptr);
    EXPECT_TRUE(fakes.settle());
}

TEST(ProcessingStatusPanel, ItsButtonDoesWhatItSaysAndWithoutAnAnchorItHidesKeepingTheHandler) {
    ProcessingStatusPanel panel([] { return kScreens; });
    EXPECT_FALSE(panel.isVisible());
    QList<Action> pressed;
    for (const CaptureState& state : {CaptureState::processing(ProcessingStage::understanding),
                                      CaptureState::failure(UserFacingFailure::of(
                                          UserFacingFailure::Kind::providerUnavailable))}) {
        const auto presentation = ProcessingStatusPresentation::make(state);
        panel.update(presentation, QRectF(1200, 300, 64, 64), [&](Action a) { pressed.append(a); });
        ASSERT_TRUE(panel.isVisible());
        EXPECT_EQ(panel.detailLabel()->isVisibleTo(&panel), presentation.detail.has_value());
        EXPECT_EQ(panel.actionButton()->text(),
                  ProcessingStatusPresentation::buttonTitle(presentation.primaryAction));
        QTest::mouseClick(panel.actionButton(), Qt::LeftButton);
    }
    EXPECT_EQ(pressed, (QList<Action>{Action::cancel, Action::openSettings}));
    panel.update(ProcessingStatusPresentation::make(CaptureState::recording()), std::nullopt,
                 [](Action) { FAIL() << "replaced handler"; });
    EXPECT_FALSE(panel.isVisible());
    panel.actionClicked();
    EXPECT_EQ(pressed.size(), 3);
}

TEST(ProcessingStatusPanel, EveryStatusTextIsShownWholeOrCutBetweenWords) {
    // Each failure's texts, a long calendar name in the success title, and English words.
    QList<ProcessingStatusPresentation> presentations;
    for (int kind = 0; kind <= int(UserFacingFailure::Kind::calendarWrite); ++kind) {
        presentations.append(ProcessingStatusPresentation::make(
            CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind(kind)))));
    }
    presentations.append(ProcessingStatusPresentation::make(
        CaptureState::success({u"我的工作日历（共享给整个项目组的那一个）"_s, 3})));
    ProcessingStatusPresentation english = presentations.first();
    english.title = u"Calendar unavailable right now"_s;
    english.detail = u"Check the calendar permission and then try once more"_s;
    presentations.append(english);

    ProcessingStatusPanel panel([] { return kScreens; });
    for (const ProcessingStatusPresentation& presentation : presentations) {
        panel.update(presentation, QRectF(100, 300, 64, 64), [](auto) {});
        const std::pair<QLabel*, QString> labels[] = {
            {panel.titleLabel(), presentation.title},
            {panel.detailLabel(), presentation.detail.value_or(QString())}};
        for (const auto& [label, full] : labels) {
            SCOPED_TRACE(full.toStdString());
            const QString shown = label->text();
            // Within the label: one line, or two where it wraps, none wider than it.
            const QFontMetrics metrics = label->fontMetrics();
            const QRect bounds =
                metrics.boundingRect(QRect(0, 0, label->width(), 1 << 16), Qt::TextWordWrap, shown);
            EXPECT_LE(bounds.width(), label->width());
            EXPECT_LE(bounds.height(), (label->wordWrap() ? 2 : 1) * metrics.lineSpacing());
            if (label->wordWrap()) {
                EXPECT_GE(label->height(), 2 * metrics.height());
            }
            if (shown == full) {
                EXPECT_TRUE(label->toolTip().isEmpty());
                continue;
            }
            // Cut where a line may break, the whole text kept for the pointer and for assistive
            // technology.
            ASSERT_TRUE(shown.endsWith(u'…'));
            const QString kept = shown.chopped(1);
            EXPECT_TRUE(full.startsWith(kept));
            QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, full);
            breaks.setPosition(kept.size());
            EXPECT_TRUE(breaks.isAtBoundary() || full.at(kept.size()).isSpace());
            EXPECT_EQ(label->toolTip(), full);
            EXPECT_EQ(label->accessibleDescription(), full);
        }
    }
    EXPECT_TRUE(
        panel.detailLabel()->wordWrap());  // the English detail, shown last, needs two lines
}
