#include "ui/ball/BallView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <chrono>

#include "input/SystemPermissionAdapter.h"
#include "support/AppLogger.h"
#include "support/Appearance.h"
#include "support/Preferences.h"
#include "ui/ball/BallAccessibility.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/BallStateColors.h"
#include "ui/ball/VoiceExplanation.h"

namespace zorbel {

namespace {

using Kind = CaptureState::Kind;

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool isAnimated(const CaptureState& state) {
    return state.kind() == Kind::processing || state.kind() == Kind::success ||
           state.kind() == Kind::recording;
}

}  // namespace

BallView::BallView(BallServices services, Options options, QWidget* parent)
    : QWidget(parent),
      m_options(std::move(options)),
      m_coordinator(std::make_unique<CaptureCoordinator>(
          std::move(services.speech), std::move(services.files), std::move(services.events),
          std::move(services.permissions), std::move(services.cloudGate))),
      m_clock(m_options.frameInterval),
      m_statusPanel(std::make_unique<ProcessingStatusPanel>(m_options.screens)) {
    BallAccessibility::install();
    if (!m_options.now) m_options.now = steadySeconds;
    if (!m_options.voiceExplanation) {
        m_options.voiceExplanation = showVoiceExplanation;
    }
    m_stateEnteredAt = now();

    setAttribute(Qt::WA_TranslucentBackground);
    // The skin is read when chosen, not at every frame.
    applySkin();
    connect(&AppearanceNotifications::shared(), &AppearanceNotifications::skinChanged, this,
            &BallView::applySkin);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    setAccessibleName(BallAccessibility::name());
    setAccessibleDescription(BallAccessibility::help());

    // The callbacks live in objects this view owns, so they never outlive it.
    m_coordinator->onStateChange = [this](const CaptureState& state) { setRenderState(state); };
    m_coordinator->onEventsReady = [this](const QList<ExtractedEvent>& events) {
        eventsReady(events);
    };
    m_clock.setOnTick([this] { update(); });
}

void BallView::applySkin() {
    const BallSkin skin = BallSkinPreference::current();
    m_glassRenderer.skin = skin;
    m_auroraRenderer.skin = skin;
    update();
}

BallView::~BallView() {
    m_clock.stop();
    // Late results of a capture in flight must not reach a view that is going away.
    m_coordinator->onStateChange = nullptr;
    m_coordinator->onEventsReady = nullptr;
}

void BallView::placeInBallWindow() {
    if (m_edgeSnap) return;
    m_edgeSnap =
        std::make_unique<EdgeSnapController>(window(), m_options.screens, m_options.snapTiming);
    m_edgeSnap->onTrackingChanged = [this] {
        updateTracking();
        update();
    };
    m_edgeSnap->restorePosition();
    updateTracking();
}

void BallView::windowVisibilityChanged(bool visible) {
    if (!visible) {
        m_clock.stop();
    } else if (isAnimated(m_renderState) && !environment().reduceMotion) {
        m_clock.start();
    }
}

void BallView::setMaterialOpacity(double opacity) {
    m_materialOpacity = opacity;
    update();
}

// --- State -----------------------------------------------------------------------------------

void BallView::setRenderState(const CaptureState& state) {
    if (state == m_renderState) return;
    const CaptureState previous = m_renderState;
    m_renderState = state;
    renderStateDidChange(previous, state);
}

void BallView::renderStateDidChange(const CaptureState& from, const CaptureState& to) {
    // Another page of the same stage does not start the animation again.
    const bool nextPage = from.kind() == Kind::processing && to.kind() == Kind::processing &&
                          from.stage() == to.stage();
    if (!nextPage) m_stateEnteredAt = now();
    if (from.kind() == Kind::confirmation && to.kind() != Kind::confirmation &&
        m_confirmation.forceClose) {
        m_confirmation.forceClose();
    }
    updateClock();
    if (to.kind() == Kind::success) {
        QTimer::singleShot(m_options.successHold, this, [this] {
            if (m_renderState.kind() == Kind::success) setRenderState(CaptureState::idle());
        });
    }
    updateStatusPanel(to);
    m_lastAnnouncement = ProcessingStatusPresentation::make(to).title;
    QAccessibleEvent announcement(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&announcement);
    QAccessibleValueChangeEvent valueChange(this, accessibilityValue());
    QAccessible::updateAccessibility(&valueChange);
    update();
}

void BallView::updateClock() {
    if (!isAnimated(m_renderState)) {
        m_clock.stop();
    } else if (environment().reduceMotion) {
        m_clock.stop();
    } else if (window()->isVisible()) {
        m_clock.start();
    }
}

void BallView::updateStatusPanel(const CaptureState& state) {
    const bool shown = state.kind() == Kind::failure || state.kind() == Kind::dropTarget;
    if (!shown) {
        m_statusPanel->update(std::nullopt, std::nullopt,
                              [](ProcessingStatusPresentation::Action) {});
        return;
    }
    std::optional<QRectF> anchor;
    if (window() != this) anchor = QRectF(window()->geometry());
    QPointer<BallView> self(this);
    m_statusPanel->update(ProcessingStatusPresentation::make(state), anchor,
                          [self](ProcessingStatusPresentation::Action action) {
                              if (self) self->performStatusAction(action);
                          });
}

void BallView::performStatusAction(ProcessingStatusPresentation::Action action) {
    using Action = ProcessingStatusPresentation::Action;
    switch (action) {
        case Action::cancel:
        case Action::dismiss:
            m_coordinator->cancel();
            return;
        case Action::retry: {
            // Only files and recordings can be repeated: a failure with nothing to repeat (an
            // empty paste, a pasted text the model could not read) is dismissed instead of
            // leaving a button that does nothing.
            const CaptureState before = m_renderState;
            m_coordinator->retry();
            if (m_renderState == before) setRenderState(CaptureState::idle());
            return;
        }
        case Action::openSettings: {
            const bool permission =
                m_renderState.kind() == Kind::failure &&
                m_renderState.failure().kind() == UserFacingFailure::Kind::permissionDenied;
            // The settings address is opened by whoever handles its scheme; without a handler
            // the settings window is the place to go.
            if (permission && QDesktopServices::openUrl(
                                  QUrl(settingsPaneURL(m_renderState.failure().capability())))) {
                return;
            }
            if (showSettings) showSettings();
            return;
        }
    }
}

void BallView::eventsReady(const QList<ExtractedEvent>& events) {
    if (m_confirmation.show) {
        m_confirmation.show(events);
        return;
    }
    // Nobody can confirm them: say so in the log and give the ball back to the user.
    AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("confirmationUnavailable")));
    m_coordinator->cancel();
}

bool BallView::confirmationOpenAndAsked() {
    return m_confirmation.requestDiscard && m_confirmation.requestDiscard();
}

// --- Drawing ---------------------------------------------------------------------------------

bool BallView::isCollapsed() const {
    return m_edgeSnap && m_edgeSnap->isCollapsed();
}

BallRenderEnvironment BallView::environment() const {
    if (m_options.environment) return m_options.environment();
    // Qt 6.4 offers no reduce-motion or increase-contrast query on Linux: both read as off.
    return {devicePixelRatioF(), false, false};
}

void BallView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_materialOpacity);
    const BallRenderEnvironment env = environment();
    const double time = std::max(0.0, now() - m_stateEnteredAt);
    const QRectF bounds(rect());

    if (isCollapsed()) {
        if (const auto tracking = m_edgeSnap->trackingRectInView()) {
            const double side = std::min(tracking->width(), tracking->height()) - 4;
            QRectF square(0, 0, side, side);
            square.moveCenter(tracking->center());
            m_glassRenderer.render(m_renderState, square, time, env, painter);
            return;
        }
    }

    const bool pressScale = m_pressStart && m_renderState.kind() == Kind::idle && !env.reduceMotion;
    if (pressScale) {
        painter.save();
        painter.translate(bounds.center());
        painter.scale(0.92, 0.92);
        painter.translate(-bounds.center());
    }
    if (m_renderState.kind() == Kind::processing) {
        m_auroraRenderer.render(m_renderState, bounds, time, env, painter);
    } else {
        m_glassRenderer.render(m_renderState, bounds, time, env, painter);
    }
    if (pressScale) painter.restore();

    const QRectF ring = bounds.adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setBrush(Qt::NoBrush);
    if (m_renderState.kind() == Kind::recording) {
        painter.setPen(QPen(BallStateColors::tint(CaptureState::recording()), 3.0));
        painter.drawEllipse(ring);
    }
    if (const auto& pages = m_renderState.pages(); pages && pages->total > 0) {
        // The pages read fill a faint ring clockwise from the top.
        const QColor tint = BallStateColors::tint(m_renderState);
        QColor track = tint;
        track.setAlphaF(0.25f);
        painter.setPen(QPen(track, 3.0));
        painter.drawEllipse(ring);
        painter.setPen(QPen(tint, 3.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(ring, 90 * 16, -360 * 16 * pages->done / pages->total);
    }
}

// --- Pointer ---------------------------------------------------------------------------------

void BallView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_gestures.mouseDown(event->position());
    setFocus(Qt::MouseFocusReason);
    if (isCollapsed()) return;
    // Kept for every press, so that dragging a recording ball does not jump by an old offset.
    m_grabOffset = event->position();
    if (m_renderState.kind() == Kind::recording) return;
    m_pressStart = now();
    update();
    if (confirmationOpenAndAsked()) return;
    if (m_renderState.kind() == Kind::processing || m_renderState.kind() == Kind::confirmation) {
        return;
    }
    QTimer::singleShot(0, this, [this] { startVoiceAfterExplanation(true); });
}

void BallView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        if (const auto tracking = m_edgeSnap ? m_edgeSnap->trackingRectInView() : std::nullopt) {
            setPointerInside(tracking->contains(event->position()));
        }
        return;
    }
    if (isCollapsed()) return;
    const BallInteractionIntent intent = m_gestures.mouseDragged(event->position());
    if (intent == BallInteractionIntent::beginDrag) {
        m_pressStart.reset();
        m_coordinator->cancel();
    }
    if (intent == BallInteractionIntent::beginDrag ||
        intent == BallInteractionIntent::continueDrag) {
        if (m_edgeSnap) m_edgeSnap->unhideForDrag();
        window()->move((event->globalPosition() - m_grabOffset).toPoint());
    }
}

void BallView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (isCollapsed()) return;
    const bool shortPress = !m_pressStart || now() - *m_pressStart < kHoldToRecord;
    m_pressStart.reset();
    update();
    if (m_gestures.mouseUp(event->position()) == BallInteractionIntent::endDrag) {
        if (m_edgeSnap) m_edgeSnap->handleRelease();
        return;
    }
    if (m_renderState.kind() != Kind::recording) return;
    if (shortPress) {
        m_coordinator->cancel();
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("tapTooShort")));
    } else {
        m_coordinator->finishVoiceCapture();
    }
}

void BallView::leaveEvent(QEvent* event) {
    setPointerInside(false);
    QWidget::leaveEvent(event);
}

void BallView::setPointerInside(bool inside) {
    if (inside == m_pointerInside || !m_edgeSnap) return;
    m_pointerInside = inside;
    if (inside) {
        m_edgeSnap->expand();
    } else {
        m_edgeSnap->scheduleCollapse();
    }
}

void BallView::updateTracking() {
    const auto tracking = m_edgeSnap ? m_edgeSnap->trackingRectInView() : std::nullopt;
    if (!tracking) {
        m_pointerInside = false;
        return;
    }
    const bool inside = tracking->contains(mapFromGlobal(QCursor::pos()));
    if (inside && !m_pointerInside) {
        m_pointerInside = true;
        m_edgeSnap->expand();
    }
}

// --- Voice -----------------------------------------------------------------------------------

void BallView::startVoiceAfterExplanation(bool onlyWhileHeld) {
    const std::shared_ptr<Preferences> defaults = Preferences::standard();
    if (!defaults->boolean(voiceExplainedKey)) {
        defaults->setValue(voiceExplainedKey, true);
        m_options.voiceExplanation();
    }
    if (onlyWhileHeld && !m_pressStart) return;
    m_coordinator->startVoiceCapture();
}

void BallView::toggleRecordingFromInput() {
    if (confirmationOpenAndAsked()) return;
    switch (m_renderState.kind()) {
        case Kind::recording:
            m_coordinator->finishVoiceCapture();
            return;
        case Kind::idle:
        case Kind::success:
        case Kind::failure:
            QTimer::singleShot(0, this, [this] { startVoiceAfterExplanation(false); });
            return;
        case Kind::processing:
        case Kind::dropTarget:
        case Kind::confirmation:
            return;
    }
}

// --- Keys, pasting, the menu -------------------------------------------------------------------

void BallView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            toggleRecordingFromInput();
            return;
        case Qt::Key_Escape:
            m_coordinator->cancel();
            return;
        default:
            break;
    }
    if (event->matches(QKeySequence::Paste)) {
        analyzePastedText(pasteboardText());
        return;
    }
    QWidget::keyPressEvent(event);
}

QString BallView::pasteboardText() {
    return QApplication::clipboard()->text();
}

void BallView::analyzePastedText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("pasteEmpty")));
        setRenderState(
            CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::emptyCapture)));
        return;
    }
    AppLogger::shared().record(AppLogEvent::captureStarted(QStringLiteral("paste")));
    m_coordinator->handleText(text);
}

void BallView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(QStringLiteral("Zorbel"), this);
    menu.addAction(tr("分析剪贴板文本"), this, [this] { analyzePastedText(pasteboardText()); });
    menu.addAction(tr("设置…"), this, [this] {
        if (showSettings) showSettings();
    });
    if (m_confirmation.undo && m_confirmation.undo->isVisible()) {
        menu.addAction(m_confirmation.undo);
    }
    menu.addSeparator();
    menu.addAction(tr("退出"), qApp, &QCoreApplication::quit);
    menu.exec(event->globalPos());
}

// --- Drag and drop ---------------------------------------------------------------------------

void BallView::dragEnterEvent(QDragEnterEvent* event) {
    if (isCollapsed()) m_edgeSnap->expand();
    const QMimeData* mime = event->mimeData();
    if (m_renderState.kind() == Kind::idle && (mime->hasUrls() || mime->hasText())) {
        setRenderState(CaptureState::dropTarget());
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
}

void BallView::dragLeaveEvent(QDragLeaveEvent* event) {
    if (m_renderState.kind() == Kind::dropTarget) setRenderState(CaptureState::idle());
    event->accept();
}

void BallView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    bool accepted = false;
    if (m_renderState.kind() == Kind::idle || m_renderState.kind() == Kind::dropTarget) {
        const QList<QUrl> urls = mime->urls();
        if (!urls.isEmpty() && urls.first().isLocalFile()) {
            AppLogger::shared().record(AppLogEvent::captureStarted(QStringLiteral("file")));
            m_coordinator->handleFile(urls.first().toLocalFile());
            accepted = true;
        } else if (mime->hasText()) {
            analyzePastedText(mime->text());
            accepted = true;
        }
    }
    // The drag is over: a ball still inviting the drop goes back to idle.
    if (m_renderState.kind() == Kind::dropTarget) setRenderState(CaptureState::idle());
    if (accepted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

// --- Accessibility -----------------------------------------------------------------------------

QString BallView::accessibilityValue() const {
    if (isCollapsed()) return tr("已贴边隐藏");
    switch (m_renderState.kind()) {
        case Kind::idle:
            return tr("空闲");
        case Kind::recording:
            return tr("正在录音，松开结束");
        case Kind::dropTarget:
            return tr("松开以读取");
        case Kind::processing:
            switch (m_renderState.stage()) {
                case ProcessingStage::extracting:
                    return tr("读取内容");
                case ProcessingStage::transcribing:
                    return tr("识别语音");
                case ProcessingStage::understanding:
                    return tr("理解日程");
                case ProcessingStage::preparingConfirmation:
                    return tr("准备确认");
            }
            break;
        case Kind::confirmation:
            return tr("等待确认日程");
        case Kind::success:
            return tr("已添加到日历");
        case Kind::failure:
            return tr("处理失败");
    }
    return {};
}

}  // namespace zorbel
