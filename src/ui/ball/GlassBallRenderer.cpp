#include "ui/ball/GlassBallRenderer.h"

#include <QPainter>
#include <cmath>
#include <functional>
#include <numbers>

#include "ui/ball/BallLayerCache.h"
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
        // One breath a second, in sixty steps: a frame's radius is one of sixty, whose layers
        // stay kept however the frames fall.
        r *= 1 + 0.06 * std::sin(2 * pi * std::round(time * 60) / 60);
    }
    const bool cached = cacheStillLayers && BallLayerCache::serves(painter);
    if (cached) r = BallLayerCache::quantised(painter, r);
    const QColor base = baseColour(state, skin.tintSaturation);
    const QColor white(Qt::white);
    const BallMark mark = markFor(state);
    // The ring passes under the mark, so a succeeding ball keeps its mark in a layer of its own.
    const bool success = state.kind() == CaptureState::Kind::success;
    enum Layer { glass, glassAndMark, markOnly };
    const auto layer = [&](Layer which, const std::function<void(QPainter&)>& paint) {
        if (!cached) return paint(painter);
        m_cache.draw(painter,
                     {which, r, c, ball.side, base, static_cast<int>(mark),
                      environment.increaseContrast, materialOpacity, skin},
                     QRectF(c.x() - r - 1, c.y() - r - 1, 2 * r + 2, 2 * r + 2), paint);
    };
    const auto drawWhiteMark = [&](QPainter& p) {
        drawMark(p, mark, c, 0.72 * r, withAlpha(white, 0.92));
    };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    layer(success ? glass : glassAndMark, [&](QPainter& p) {
        p.save();
        clipToDisc(p, c, r);
        drawBodyAndShade(p, c, r, base, materialOpacity * skin.tintAlpha,
                         materialOpacity * skin.shadeAlpha);
        fillRadial(p, offset(c, -0.38 * r, 0.42 * r), r * skin.highlightRadiusFrac,
                   {{0.0, withAlpha(white, skin.highlightAlpha)}, {1.0, withAlpha(white, 0)}});

        p.save();
        const QPointF glint = offset(c, -0.45 * r, 0.58 * r);
        p.translate(glint);
        p.rotate(30);  // a clockwise turn on screen in either coordinate system
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(white, skin.glintAlpha));
        p.drawEllipse(QRectF(-0.16 * r, -0.08 * r, 0.32 * r, 0.16 * r));
        p.restore();

        QPen caustic(withAlpha(base, skin.causticAlpha), 2.2);
        caustic.setCapStyle(Qt::RoundCap);
        p.setPen(caustic);
        strokeArc(p, c, 0.72 * r, -0.75, 0.6);
        p.restore();  // the clip ends: the rims may lie on the edge

        drawRims(p, c, r, ball.side, skin, environment.increaseContrast);
        if (!success) drawWhiteMark(p);
    });

    if (success) {
        if (time >= 0 && time < VisualTokens::successDuration) {
            const double p = time / VisualTokens::successDuration;
            painter.setPen(QPen(withAlpha(white, (1 - p) * 0.8), 2.0));
            painter.setBrush(Qt::NoBrush);
            const double ring = r * (0.2 + 0.8 * p);
            painter.drawEllipse(c, ring, ring);
        }
        layer(markOnly, drawWhiteMark);
    }

    painter.restore();
}

}  // namespace zorbel
