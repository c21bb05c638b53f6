#include "ui/ball/EdgeSnapController.h"

#include <QPropertyAnimation>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "support/Preferences.h"

namespace zorbel {

namespace {

constexpr double kExpandedInset = 8;

// The default position: the ball centred 15 % of the width right of the visible frame's middle.
QRectF defaultFrame(const ScreenInfo& screen) {
    const QRectF& visible = screen.visibleFrame;
    const QPointF centre(visible.center().x() + 0.15 * visible.width(), visible.center().y());
    return {centre.x() - EdgeSnapController::ballSize / 2,
            centre.y() - EdgeSnapController::ballSize / 2, EdgeSnapController::ballSize,
            EdgeSnapController::ballSize};
}

// The top of a docked ball: the window's, kept on the screen.
double clampedTop(const QRectF& screen, const QRectF& window) {
    return std::min(std::max(window.top(), screen.top()),
                    screen.bottom() - EdgeSnapController::ballSize);
}

}  // namespace

QString snapEdgeName(SnapEdge edge) {
    switch (edge) {
        case SnapEdge::left:
            return QStringLiteral("left");
        case SnapEdge::right:
            return QStringLiteral("right");
        case SnapEdge::top:
            return QStringLiteral("top");
        case SnapEdge::bottom:
            return QStringLiteral("bottom");
    }
    return {};
}

EdgeSnapController::EdgeSnapController(QWidget* window, ScreenSource screens, Timing timing)
    : m_window(window), m_screens(std::move(screens)), m_timing(timing) {
    m_collapseTimer.setSingleShot(true);
    m_collapseTimer.setInterval(m_timing.collapseDelay);
    connect(&m_collapseTimer, &QTimer::timeout, this, &EdgeSnapController::collapseNow);

    const auto defaults = Preferences::standard();
    const QVariant stored = defaults->value(parkedFrameKey);
    if (stored.typeId() == QMetaType::QRectF || stored.typeId() == QMetaType::QRect) {
        m_parkedFrame = stored.toRectF();
        // A hand-edited identifier outside 32 bits is not trusted: the ball goes to the default.
        const std::optional<qint64> id = defaults->integer(parkedScreenIDKey);
        if (id && *id >= 0 && *id <= std::numeric_limits<quint32>::max()) {
            m_parkedScreenID = quint32(*id);
        }
        return;
    }
    const QList<ScreenInfo> all = m_screens();
    if (all.isEmpty()) return;
    m_parkedFrame = defaultFrame(all.first());
    m_parkedScreenID = all.first().id;
}

void EdgeSnapController::restorePosition() {
    if (!m_window) return;
    const QList<ScreenInfo> all = m_screens();
    const bool screenPresent =
        m_parkedScreenID != 0 && std::any_of(all.begin(), all.end(), [this](const ScreenInfo& s) {
            return s.id == m_parkedScreenID;
        });
    if (screenPresent) {
        m_window->setGeometry(m_parkedFrame.toRect());
        return;
    }
    if (all.isEmpty()) return;
    m_window->move(defaultFrame(all.first()).topLeft().toPoint());
    m_parkedFrame = windowFrame();
    m_parkedScreenID = all.first().id;
    persist();
}

void EdgeSnapController::persist() {
    if (!m_window || isHidden()) return;
    m_parkedFrame = windowFrame();
    for (const ScreenInfo& screen : m_screens()) {
        if (screen.frame.intersects(m_parkedFrame)) {
            m_parkedScreenID = screen.id;
            break;
        }
    }
    const auto defaults = Preferences::standard();
    defaults->setValue(parkedFrameKey, m_parkedFrame);
    defaults->setValue(parkedScreenIDKey, qint64(m_parkedScreenID));
}

std::optional<QRectF> EdgeSnapController::trackingRectInView() const {
    if (!m_hiddenEdge) return std::nullopt;
    if (m_expanded) return QRectF(0, 0, ballSize, ballSize);
    if (*m_hiddenEdge == SnapEdge::left) {
        return QRectF(ballSize - revealWidth, 0, revealWidth, ballSize);
    }
    return QRectF(0, 0, revealWidth, ballSize);
}

bool EdgeSnapController::handleRelease() {
    if (!m_window) return false;
    const QRectF frame = windowFrame();
    const QList<ScreenInfo> all = m_screens();
    QList<QRectF> frames;
    for (const ScreenInfo& screen : all) frames.append(screen.frame);

    std::optional<QRectF> screen;
    if (const auto index = screenIndexContainingMajority(frame, frames)) {
        screen = frames.at(*index);
    } else {
        const auto holding = std::find_if(frames.begin(), frames.end(), [&](const QRectF& f) {
            return f.contains(frame.center());
        });
        if (holding != frames.end()) {
            screen = *holding;
        } else if (!frames.isEmpty()) {
            screen = frames.first();
        }
    }
    if (!screen) return false;

    const auto edge =
        snapDecision(frame.center().x(), screen->left(), screen->right(), ballSize, snapThreshold);
    if (!edge) {
        persist();
        return false;
    }
    m_hiddenEdge = edge;
    m_expanded = false;
    slide(hiddenFrame(*edge, *screen, frame));
    trackingChanged();
    std::fputs(
        QStringLiteral("Zorbel 已贴边隐藏（%1）\n").arg(snapEdgeName(*edge)).toUtf8().constData(),
        stdout);
    std::fflush(stdout);
    return true;
}

void EdgeSnapController::expand() {
    if (!m_hiddenEdge || !m_window || m_expanded) return;
    m_expanded = true;
    m_collapseTimer.stop();
    const auto screen = screenOfWindow();
    if (!screen) return;
    slide(expandedFrame(*m_hiddenEdge, screen->frame, windowFrame()));
    trackingChanged();
}

void EdgeSnapController::scheduleCollapse() {
    if (!m_expanded) return;
    m_collapseTimer.start();
}

void EdgeSnapController::collapseNow() {
    if (m_expanded) m_expanded = false;
    if (!m_hiddenEdge || !m_window) return;
    const auto screen = screenOfWindow();
    if (!screen) return;
    slide(hiddenFrame(*m_hiddenEdge, screen->frame, windowFrame()));
    trackingChanged();
}

void EdgeSnapController::unhideForDrag() {
    if (!m_hiddenEdge) return;
    m_hiddenEdge.reset();
    m_expanded = false;
    m_collapseTimer.stop();
    if (m_slide) m_slide->stop();  // the drag moves the window from here on
    trackingChanged();
}

std::optional<SnapEdge> EdgeSnapController::snapDecision(double centerX, double screenMinX,
                                                         double screenMaxX, double size,
                                                         double threshold) {
    const double leftGap = centerX - size / 2 - screenMinX;
    const double rightGap = screenMaxX - (centerX + size / 2);
    if (std::min(leftGap, rightGap) > threshold) return std::nullopt;
    return leftGap <= rightGap ? SnapEdge::left : SnapEdge::right;
}

std::optional<qsizetype> EdgeSnapController::screenIndexContainingMajority(
    const QRectF& rect, const QList<QRectF>& screens) {
    std::optional<qsizetype> best;
    double bestArea = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRectF overlap = screens.at(i).intersected(rect);
        const double area = overlap.width() * overlap.height();
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    return best;
}

QRectF EdgeSnapController::hiddenFrame(SnapEdge edge, const QRectF& screen, const QRectF& window) {
    const double x = edge == SnapEdge::left ? screen.left() - ballSize + revealWidth
                                            : screen.right() - revealWidth;
    return {x, clampedTop(screen, window), ballSize, ballSize};
}

QRectF EdgeSnapController::expandedFrame(SnapEdge edge, const QRectF& screen,
                                         const QRectF& window) {
    const double x = edge == SnapEdge::left ? screen.left() + kExpandedInset
                                            : screen.right() - ballSize - kExpandedInset;
    return {x, clampedTop(screen, window), ballSize, ballSize};
}

QRectF EdgeSnapController::windowFrame() const {
    return m_window ? QRectF(m_window->geometry()) : m_parkedFrame;
}

void EdgeSnapController::slide(const QRectF& target) {
    if (!m_window) return;
    if (m_slide) m_slide->stop();
    if (m_timing.slide.count() <= 0) {
        m_window->setGeometry(target.toRect());
        return;
    }
    auto* animation = new QPropertyAnimation(m_window, "geometry", this);
    animation->setDuration(int(m_timing.slide.count()));
    animation->setEndValue(target.toRect());
    m_slide = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void EdgeSnapController::trackingChanged() {
    if (onTrackingChanged) onTrackingChanged();
}

std::optional<ScreenInfo> EdgeSnapController::screenOfWindow() const {
    return ScreenLayout::screenIntersecting(windowFrame(), m_screens());
}

}  // namespace zorbel
