#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "ui/shared/ScreenLayout.h"

class QPropertyAnimation;
class QWidget;

namespace zorbel {

/// A screen edge; docking only ever uses `left` and `right`.
enum class SnapEdge { left, right, top, bottom };

/// The edge's case name ("left", ...).
QString snapEdgeName(SnapEdge edge);

/// How long the docking animations take.
struct EdgeSnapTiming {
    std::chrono::milliseconds slide{250};
    std::chrono::milliseconds collapseDelay{1200};
};

/// Docks the ball window at the left or right screen edge when it is released near one,
/// leaving a 20-point sliver on screen; slides it out while the pointer is over it and back
/// 1.2 s after the pointer leaves. Remembers the last free-standing position ("parkedFrame",
/// "parkedScreenID" in the standard preferences) and restores it at start.
///
/// GUI thread only. The window is held weakly: once it is gone every operation does nothing.
/// Frames are global window frames in Qt's coordinates (y grows downwards).
class EdgeSnapController : public QObject {
    Q_OBJECT
public:
    static constexpr double ballSize = 64.0;
    static constexpr double revealWidth = 20.0;
    static constexpr double snapThreshold = 30.0;
    static inline const QString parkedFrameKey = QStringLiteral("parkedFrame");
    static inline const QString parkedScreenIDKey = QStringLiteral("parkedScreenID");

    using Timing = EdgeSnapTiming;

    /// Loads the parked position, or computes the default one on the main screen.
    explicit EdgeSnapController(QWidget* window, ScreenSource screens = ScreenLayout::systemScreens,
                                Timing timing = Timing());

    /// Puts the window at the parked frame when its screen is still connected, else at the
    /// default position on the main screen (and persists that).
    void restorePosition();
    /// Stores the window's frame and its screen, only while the ball is free-standing.
    void persist();
    /// The area the pointer is tracked over, in the ball view's coordinates: none while free,
    /// the whole ball while expanded, else the visible sliver.
    std::optional<QRectF> trackingRectInView() const;
    /// Docks the ball after a drag when it was released near a side edge; returns whether it
    /// docked. Otherwise persists the free position.
    bool handleRelease();
    /// Slides a collapsed ball out; keeps a collapse that is already scheduled.
    void expand();
    /// Collapses an expanded ball 1.2 s from now (replacing a pending collapse).
    void scheduleCollapse();
    /// Forgets the docked state at the start of a drag (the drag moves the window).
    void unhideForDrag();

    std::optional<SnapEdge> hiddenEdge() const { return m_hiddenEdge; }
    bool expanded() const { return m_expanded; }
    bool isHidden() const { return m_hiddenEdge.has_value(); }
    bool isCollapsed() const { return isHidden() && !m_expanded; }
    bool collapsePending() const { return m_collapseTimer.isActive(); }
    QRectF parkedFrame() const { return m_parkedFrame; }
    quint32 parkedScreenID() const { return m_parkedScreenID; }

    /// Called whenever the tracking area changes; the ball view rebuilds it and redraws.
    std::function<void()> onTrackingChanged;

    /// The edge a ball centred at `centerX` docks at: the nearer side when its gap is at most
    /// `threshold` (ties go left, negative gaps count as near); none otherwise.
    static std::optional<SnapEdge> snapDecision(double centerX, double screenMinX,
                                                double screenMaxX, double ballSize,
                                                double threshold);
    /// The index of the screen holding the largest positive part of `rect`; the earlier one on
    /// equal areas; none when no screen overlaps.
    static std::optional<qsizetype> screenIndexContainingMajority(const QRectF& rect,
                                                                  const QList<QRectF>& screens);
    /// The collapsed frame at `edge` of `screen` for a window at `window` (kept vertically on
    /// the screen), and the expanded one (the whole ball, 8 points from the edge).
    static QRectF hiddenFrame(SnapEdge edge, const QRectF& screen, const QRectF& window);
    static QRectF expandedFrame(SnapEdge edge, const QRectF& screen, const QRectF& window);

private:
    QRectF windowFrame() const;
    void slide(const QRectF& target);
    void collapseNow();
    void trackingChanged();
    std::optional<ScreenInfo> screenOfWindow() const;

    QPointer<QWidget> m_window;
    ScreenSource m_screens;
    Timing m_timing;
    std::optional<SnapEdge> m_hiddenEdge;
    bool m_expanded = false;
    QTimer m_collapseTimer;
    QPointer<QPropertyAnimation> m_slide;
    QRectF m_parkedFrame;
    quint32 m_parkedScreenID = 0;
};

}  // namespace zorbel
