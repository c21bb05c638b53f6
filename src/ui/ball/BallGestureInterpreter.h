#pragma once

#include <QPointF>
#include <optional>

namespace zorbel {

/// What a pointer event on the ball means.
enum class BallInteractionIntent { toggleRecording, beginDrag, continueDrag, endDrag, none };

/// Tells a click from a drag: a press becomes a drag once the pointer has moved at least
/// `dragThreshold` points from where it went down.
struct BallGestureInterpreter {
    explicit BallGestureInterpreter(double threshold) : dragThreshold(threshold) {}

    /// Starts a press at `point` (window coordinates); always `none`.
    BallInteractionIntent mouseDown(QPointF point);
    /// `beginDrag` when the pointer first reaches the threshold, `continueDrag` after that,
    /// `none` before it or without a press.
    BallInteractionIntent mouseDragged(QPointF point);
    /// Ends the press: `endDrag` after a drag, otherwise `toggleRecording`.
    BallInteractionIntent mouseUp(QPointF point);

    double dragThreshold;
    std::optional<QPointF> startPoint;
    bool dragging = false;
};

}  // namespace zorbel
