#pragma once

#include <QColor>
#include <QPointF>

#include "core/CaptureState.h"

class QPainter;

namespace zorbel {

/// The white symbol in the middle of the glass ball that tells the state.
enum class BallMark {
    microphone,       ///< every state but success and failure
    checkmark,        ///< success
    exclamationmark,  ///< failure
};

/// The mark the glass ball shows for `state`.
BallMark markFor(const CaptureState& state);

/// Fills `mark` in `colour` into the square of `side` points centred at `centre`. The shapes
/// are drawn in code with strokes of a semibold weight; overlapping parts are filled once.
void drawMark(QPainter& painter, BallMark mark, const QPointF& centre, double side,
              const QColor& colour);

}  // namespace zorbel
