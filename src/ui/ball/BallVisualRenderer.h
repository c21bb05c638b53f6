#pragma once

#include <QRectF>

#include "core/CaptureState.h"
#include "ui/ball/BallRenderEnvironment.h"

class QPainter;

namespace zorbel {

/// Draws one frame of the ball. Renderers are pure: everything they draw follows from the
/// arguments, their skin and the ball material opacity read once per frame.
class BallVisualRenderer {
public:
    virtual ~BallVisualRenderer() = default;

    /// Draws `state` into the circle fitted in `rect` (the painter's y-down coordinates),
    /// `time` seconds after the state was entered, with the ball material opacity of the
    /// appearance settings. Synchronous, never fails, and leaves the painter's state as it
    /// found it.
    void render(const CaptureState& state, const QRectF& rect, double time,
                const BallRenderEnvironment& environment, QPainter& painter) const;

    /// As `render`, with the given ball material opacity (it scales the body tint and the
    /// shade).
    virtual void draw(const CaptureState& state, const QRectF& rect, double time,
                      const BallRenderEnvironment& environment, QPainter& painter,
                      double materialOpacity) const = 0;
};

}  // namespace zorbel
