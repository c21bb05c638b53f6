#include "ui/ball/BallVisualRenderer.h"

#include "support/Appearance.h"

namespace zorbel {

void BallVisualRenderer::render(const CaptureState& state, const QRectF& rect, double time,
                                const BallRenderEnvironment& environment, QPainter& painter) const {
    draw(state, rect, time, environment, painter, Appearance::ballMaterialOpacity());
}

}  // namespace zorbel
