#include "ui/ball/BallGestureInterpreter.h"

#include <cmath>

namespace zorbel {

BallInteractionIntent BallGestureInterpreter::mouseDown(QPointF point) {
    startPoint = point;
    dragging = false;
    return BallInteractionIntent::none;
}

BallInteractionIntent BallGestureInterpreter::mouseDragged(QPointF point) {
    if (!startPoint) return BallInteractionIntent::none;
    if (dragging) return BallInteractionIntent::continueDrag;
    const QPointF moved = point - *startPoint;
    if (std::hypot(moved.x(), moved.y()) >= dragThreshold) {
        dragging = true;
        return BallInteractionIntent::beginDrag;
    }
    return BallInteractionIntent::none;
}

BallInteractionIntent BallGestureInterpreter::mouseUp(QPointF /*point*/) {
    const bool wasDragging = dragging;
    startPoint.reset();
    dragging = false;
    return wasDragging ? BallInteractionIntent::endDrag : BallInteractionIntent::toggleRecording;
}

}  // namespace zorbel
