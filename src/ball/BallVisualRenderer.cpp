#include "ball/BallVisualRenderer.h"

#include "app/Appearance.h"

namespace zorbel {

void BallVisualRenderer::render(const BallState& state, const QRectF& rect, double time,
                                const BallRenderEnvironment& environment, QPainter& painter) const {
    draw(state, rect, time, environment, painter, Appearance::ballMaterialOpacity());
}

}  // namespace zorbel
