#include "ui/ball/AuroraInhaleRenderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "ui/ball/BallLayers.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/VisualTokens.h"

namespace zorbel {

using namespace BallLayers;

namespace {

constexpr double pi = std::numbers::pi;

// The core radius comes from the reference ball whatever the drawn size.
constexpr double kCoreRadius =
    VisualTokens::energyCoreRadiusFrac * (VisualTokens::ballDiameter / 2 - 2);

// The spiral every particle falls along: fast at first, slowing near the core, three turns.
AuroraParticlePosition spiral(qint64 index, qint64 count, double u, const QPointF& centre,
                              double outerRadius) {
    const double d = kCoreRadius + (outerRadius - kCoreRadius) *
                                       std::pow(1 - u, VisualTokens::particleInwardExponent);
    const double angle =
        2 * pi * static_cast<double>(index) / static_cast<double>(count) + 6 * pi * u;
    return {offset(centre, d * std::cos(angle), d * std::sin(angle)), d};
}

struct Glow {
    QColor colour;
    double distance;  // from the centre, as a share of the ball radius
    double angle;     // radians, counter-clockwise
};

}  // namespace

AuroraInhaleRenderer::AuroraInhaleRenderer() : skin(BallSkinPreference::current()) {}

AuroraParticlePosition AuroraInhaleRenderer::particlePosition(qint64 index, double progress,
                                                              double /*time*/) const {
    const double usable = VisualTokens::ballDiameter / 2 - 2;
    const double half = VisualTokens::ballDiameter / 2;
    return spiral(index, std::max<qint64>(skin.particleCount, 1), progress, {half, half},
                  0.88 * usable);
}

void AuroraInhaleRenderer::draw(const CaptureState& state, const QRectF& rect, double time,
                                const BallRenderEnvironment& environment, QPainter& painter,
                                double materialOpacity) const {
    const Geometry ball = fit(rect);
    if (!(ball.radius > 0)) return;  // no room for a ball inside the margin
    const QPointF c = ball.centre;

    // Loop phase φ (two-second loop) and inhale progress p; reduce-motion shows one still frame.
    double phase = 0.15;
    double p = 1.0;
    if (!environment.reduceMotion) {
        phase = time >= 0 ? std::fmod(time, 2.0) / 2.0 : 0.0;
        p = std::min(std::max(time, 0.0) / VisualTokens::glassToProcessingDuration, 1.0);
    }
    const bool cached = cacheStillLayers && BallLayerCache::serves(painter);
    double ra = ball.radius * (1 + 0.19 * std::sin(-pi * p));
    if (cached) ra = BallLayerCache::quantised(painter, ra);
    const QColor base = baseColour(state, skin.tintSaturation);
    enum Layer { bodyAndShade, rims };
    const auto layer = [&](Layer which, const std::function<void(QPainter&)>& paint) {
        if (!cached) return paint(painter);
        m_cache.draw(
            painter,
            {which, ra, c, ball.side, base, 0, environment.increaseContrast, materialOpacity, skin},
            QRectF(c.x() - ra - 1, c.y() - ra - 1, 2 * ra + 2, 2 * ra + 2), paint);
    };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    layer(bodyAndShade, [&](QPainter& layerPainter) {
        layerPainter.save();
        clipToDisc(layerPainter, c, ra);
        drawBodyAndShade(layerPainter, c, ra, base, materialOpacity * skin.processingTintAlpha,
                         materialOpacity * skin.shadeAlpha);
        layerPainter.restore();
    });

    painter.save();
    if (!cached) clipToDisc(painter, c, ra);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    const double a = 2 * pi * phase;
    const double b = 4 * pi * phase;
    const Glow glows[] = {
        {QColor::fromRgbF(0.45f, 0.55f, 1.0f), 0.34 * (0.85 + 0.15 * std::sin(b)), a},
        {QColor::fromRgbF(0.66f, 0.46f, 1.0f), 0.28 * (0.85 + 0.15 * std::sin(b + 2.1)),
         -1.35 * a + 2.1},
        {QColor::fromRgbF(0.42f, 0.80f, 1.0f), 0.40 * (0.85 + 0.15 * std::sin(b + 4.2)),
         0.75 * a + 4.2},
    };
    for (const Glow& glow : glows) {
        const double d = glow.distance * ra;
        // The orbits are squashed vertically to 85 %.
        fillRadial(painter, offset(c, d * std::cos(glow.angle), 0.85 * d * std::sin(glow.angle)),
                   0.5 * ra,
                   {{0.0, withAlpha(glow.colour, 0.55 * p)}, {1.0, withAlpha(glow.colour, 0)}});
    }

    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const qint64 n = skin.particleCount;
    const double dot = 3.5 * ball.side / VisualTokens::ballDiameter / 2;
    const QColor particle = QColor::fromRgbF(0.85f, 0.9f, 1.0f);
    // Cached, a particle is the sprite drawn for its centre rounded to 1/32 device pixel.
    const QTransform device = painter.deviceTransform();
    const double dotPixels = dot * device.m11();
    const int margin = static_cast<int>(std::ceil(dotPixels)) + 1;
    const double opacity = painter.opacity();
    if (cached) {
        if (m_particles.radius != dotPixels) {
            m_particles = {dotPixels, std::vector<QImage>(kPhases * kPhases)};
        }
        painter.save();
        painter.setTransform(BallLayerCache::inPixels(painter));
    }
    for (qint64 i = 0; i < n; ++i) {
        double whole = 0;
        const double u = std::modf(phase + static_cast<double>(i) / static_cast<double>(n), &whole);
        const double alpha = p * std::sin(pi * u) * 0.85;  // unseen at both ends of the fall
        if (!(alpha > 0)) continue;
        const QPointF point = spiral(i, n, u, c, 0.88 * ra).point;
        if (!cached) {
            painter.setBrush(withAlpha(particle, alpha));
            painter.drawEllipse(point, dot, dot);
            continue;
        }
        const QPointF at = device.map(point) * kPhases;
        const int x = static_cast<int>(std::round(at.x()));
        const int y = static_cast<int>(std::round(at.y()));
        const int px = static_cast<int>(std::floor(double(x) / kPhases));
        const int py = static_cast<int>(std::floor(double(y) / kPhases));
        QImage& sprite = m_particles.images[(y - py * kPhases) * kPhases + (x - px * kPhases)];
        if (sprite.isNull()) {
            sprite = QImage(2 * margin + 1, 2 * margin + 1, QImage::Format_ARGB32_Premultiplied);
            sprite.fill(Qt::transparent);
            QPainter spritePainter(&sprite);
            spritePainter.setRenderHint(QPainter::Antialiasing);
            spritePainter.setPen(Qt::NoPen);
            spritePainter.setBrush(particle);
            spritePainter.drawEllipse(QPointF(margin + double(x - px * kPhases) / kPhases,
                                              margin + double(y - py * kPhases) / kPhases),
                                      dotPixels, dotPixels);
        }
        painter.setOpacity(opacity * alpha);
        painter.drawImage(QPoint(px - margin, py - margin), sprite);
    }
    if (cached) painter.restore();

    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    const double pulse = environment.reduceMotion ? 1.0 : 1 + 0.18 * std::sin(4 * pi * phase);
    fillRadial(painter, c,
               (0.15 + 0.85 * p) * ra * VisualTokens::energyCoreRadiusFrac * 2.2 * pulse,
               {{0.0, withAlpha(QColor::fromRgbF(0.88f, 0.9f, 1.0f), 0.75 * p)},
                {1.0, withAlpha(QColor::fromRgbF(0.6f, 0.65f, 1.0f), 0)}});
    painter.restore();  // blend mode and clip end

    layer(rims, [&](QPainter& layerPainter) {
        drawRims(layerPainter, c, ra, ball.side, skin, environment.increaseContrast);
    });
    painter.restore();
}

}  // namespace zorbel
