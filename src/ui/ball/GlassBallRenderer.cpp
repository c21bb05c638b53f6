#include "ui/ball/GlassBallRenderer.h"

#include <QPainter>
#include <cmath>
#include <numbers>

#include "ui/ball/BallLayers.h"
#include "ui/ball/BallMark.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/VisualTokens.h"

namespace zorbel {

using namespace BallLayers;

GlassBallRenderer::GlassBallRenderer() : skin(BallSkinPreference::current()) {}

void GlassBallRenderer::draw(const CaptureState& state, const QRectF& rect, double time,
                             const BallRenderEnvironment& environment, QPainter& painter,
                             double materialOpacity) const {
    constexpr double pi = std::numbers::pi;
    const Geometry ball = fit(rect);
    if (!(ball.radius > 0)) return;  // no room for a ball inside the margin
    const QPointF c = ball.centre;
    double r = ball.radius;
    if (state.kind() == CaptureState::Kind::recording && !environment.reduceMotion) {
        r *= 1 + 0.06 * std::sin(2 * pi * time);  // one breath a second
    }
    const QColor base = baseColour(state, skin.tintSaturation);
    const QColor white(Qt::white);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    painter.save();
    clipToDisc(painter, c, r);
    drawBodyAndShade(painter, c, r, base, materialOpacity * skin.tintAlpha,
                     materialOpacity * skin.shadeAlpha);
    fillRadial(painter, offset(c, -0.38 * r, 0.42 * r), r * skin.highlightRadiusFrac,
               {{0.0, withAlpha(white, skin.highlightAlpha)}, {1.0, withAlpha(white, 0)}});

    painter.save();
    const QPointF glint = offset(c, -0.45 * r, 0.58 * r);
    painter.translate(glint);
    painter.rotate(30);  // a clockwise turn on screen in either coordinate system
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(white, skin.glintAlpha));
    painter.drawEllipse(QRectF(-0.16 * r, -0.08 * r, 0.32 * r, 0.16 * r));
    painter.restore();

    QPen caustic(withAlpha(base, skin.causticAlpha), 2.2);
    caustic.setCapStyle(Qt::RoundCap);
    painter.setPen(caustic);
    strokeArc(painter, c, 0.72 * r, -0.75, 0.6);
    painter.restore();  // the clip ends: the rims may lie on the edge

    drawRims(painter, c, r, ball.side, skin, environment.increaseContrast);

    if (state.kind() == CaptureState::Kind::success && time >= 0 &&
        time < VisualTokens::successDuration) {
        const double p = time / VisualTokens::successDuration;
        painter.setPen(QPen(withAlpha(white, (1 - p) * 0.8), 2.0));
        painter.setBrush(Qt::NoBrush);
        const double ring = r * (0.2 + 0.8 * p);
        painter.drawEllipse(c, ring, ring);
    }
    drawMark(painter, markFor(state), c, 0.72 * r, withAlpha(white, 0.92));

    painter.restore();
}

}  // namespace zorbel
