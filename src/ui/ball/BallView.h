#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "capture/CaptureCoordinator.h"
#include "core/CaptureState.h"
#include "core/ExtractedEvent.h"
#include "ui/ball/AuroraInhaleRenderer.h"
#include "ui/ball/BallAnimationClock.h"
#include "ui/ball/BallGestureInterpreter.h"
#include "ui/ball/BallRenderEnvironment.h"
#include "ui/ball/EdgeSnapController.h"
#include "ui/ball/GlassBallRenderer.h"
#include "ui/status/ProcessingStatusPanel.h"

class QAction;
class QMimeData;

namespace zorbel {

/// The five services the ball's capture coordinator works with.
struct BallServices {
    std::shared_ptr<SpeechCapturing> speech;
    std::shared_ptr<FileExtracting> files;
    std::shared_ptr<EventExtracting> events;
    std::shared_ptr<PermissionRequesting> permissions;
    std::shared_ptr<CloudTransmissionAuthorizing> cloudGate;
};

/// What the confirmation flow plugs into the ball. Every member may be left empty.
struct BallConfirmation {
    /// Receives the events the coordinator found (then the state is `confirmation`).
    std::function<void(QList<ExtractedEvent>)> show;
    /// Asks an open confirm panel to discard; returns false when none is open.
    std::function<bool()> requestDiscard;
    /// Closes an open confirm panel without questions (the capture left `confirmation`).
    std::function<void()> forceClose;
    /// 「撤销上次写入」, in the ball's menu while it is visible; none without a flow.
    QAction* undo = nullptr;
};

/// What tests replace in the ball view; the defaults are the desktop's.
struct BallViewOptions {
    std::function<double()> now;                         ///< monotonic seconds
    std::function<void()> voiceExplanation;              ///< shows the modal voice explanation
    std::function<BallRenderEnvironment()> environment;  ///< display settings per frame
    std::chrono::milliseconds successHold{700};
    std::chrono::milliseconds frameInterval = BallAnimationClock::kFrameInterval;
    ScreenSource screens = ScreenLayout::systemScreens;
    EdgeSnapTiming snapTiming;
};

/// The ball's only view: draws the ball, turns presses, keys, drops and pastes into captures,
/// mirrors the coordinator's state, shows the status panel beside the ball and exposes the ball
/// to assistive technology. GUI thread only; deferred work is bound to the view and dropped
/// with it.
class BallView : public QWidget {
    Q_OBJECT
public:
    using Options = BallViewOptions;

    static constexpr double kHoldToRecord = 0.8;  ///< seconds a press must last to record
    static constexpr double kDragThreshold = 5.0;
    static inline const QString voiceExplainedKey = QStringLiteral("permissionExplained.voice.v1");

    explicit BallView(BallServices services, Options options = Options(),
                      QWidget* parent = nullptr);
    ~BallView() override;

    /// Creates the edge-snap controller for the ball window this view fills, puts the window at
    /// its remembered place and starts tracking the pointer. Called once by the window.
    void placeInBallWindow();
    /// The window was shown or hidden: runs or stops the frame clock.
    void windowVisibilityChanged(bool visible);

    const CaptureState& renderState() const { return m_renderState; }
    /// Shows `state`; a different value runs the state-change procedure (clock, panel,
    /// announcement, the return from `success`). The coordinator is not told.
    void setRenderState(const CaptureState& state);

    /// Space, Return, keypad Enter and the accessibility press: starts or finishes a recording.
    void toggleRecordingFromInput();
    /// Starts a capture of `text`, or shows `failure(emptyCapture)` when it is blank.
    void analyzePastedText(const QString& text);

    void setConfirmation(BallConfirmation confirmation) {
        m_confirmation = std::move(confirmation);
    }
    /// Opens the settings window ("设置…" and the open-settings action).
    std::function<void()> showSettings;
    /// The ball material opacity, applied to the whole drawing.
    void setMaterialOpacity(double opacity);

    CaptureCoordinator& coordinator() { return *m_coordinator; }
    ProcessingStatusPanel& statusPanel() { return *m_statusPanel; }
    EdgeSnapController* edgeSnapController() const { return m_edgeSnap.get(); }
    const BallAnimationClock& animationClock() const { return m_clock; }
    /// The text of the last accessibility announcement (the title of the state entered).
    const QString& lastAnnouncement() const { return m_lastAnnouncement; }
    /// The accessibility value of the ball now ("空闲", "已贴边隐藏", ...).
    QString accessibilityValue() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// Takes the chosen skin into both renderers and redraws.
    void applySkin();
    bool isCollapsed() const;
    double now() const { return m_options.now(); }
    BallRenderEnvironment environment() const;
    void renderStateDidChange(const CaptureState& from, const CaptureState& to);
    void updateClock();
    void updateStatusPanel(const CaptureState& state);
    void performStatusAction(ProcessingStatusPresentation::Action action);
    void updateTracking();
    void setPointerInside(bool inside);
    /// Shows the voice explanation the first time, then starts recording when `onlyWhileHeld`
    /// is false or the press is still held.
    void startVoiceAfterExplanation(bool onlyWhileHeld);
    void eventsReady(const QList<ExtractedEvent>& events);
    bool confirmationOpenAndAsked();
    static QString pasteboardText();

    Options m_options;
    std::unique_ptr<CaptureCoordinator> m_coordinator;
    CaptureState m_renderState = CaptureState::idle();
    BallGestureInterpreter m_gestures{kDragThreshold};
    QPointF m_grabOffset;
    std::unique_ptr<EdgeSnapController> m_edgeSnap;
    BallAnimationClock m_clock;
    double m_stateEnteredAt = 0;
    GlassBallRenderer m_glassRenderer;
    AuroraInhaleRenderer m_auroraRenderer;
    std::unique_ptr<ProcessingStatusPanel> m_statusPanel;
    std::optional<double> m_pressStart;
    BallConfirmation m_confirmation;
    double m_materialOpacity = 1.0;
    bool m_pointerInside = false;
    QString m_lastAnnouncement;
};

}  // namespace zorbel
