#include "ui/ball/AuroraInhaleRenderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
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
    const double ra = ball.radius * (1 + 0.19 * std::sin(-pi * p));
    const QColor base = baseColour(state, skin.tintSaturation);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    painter.save();
    clipToDisc(painter, c, ra);
    drawBodyAndShade(painter, c, ra, base, materialOpacity * skin.processingTintAlpha,
                     materialOpacity * skin.shadeAlpha);

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
    for (qint64 i = 0; i < n; ++i) {
        double whole = 0;
        const double u = std::modf(phase + static_cast<double>(i) / static_cast<double>(n), &whole);
        const double alpha = p * std::sin(pi * u) * 0.85;  // unseen at both ends of the fall
        if (!(alpha > 0)) continue;
        painter.setBrush(withAlpha(particle, alpha));
        painter.drawEllipse(spiral(i, n, u, c, 0.88 * ra).point, dot, dot);
    }

    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    const double pulse = environment.reduceMotion ? 1.0 : 1 + 0.18 * std::sin(4 * pi * phase);
    fillRadial(painter, c,
               (0.15 + 0.85 * p) * ra * VisualTokens::energyCoreRadiusFrac * 2.2 * pulse,
               {{0.0, withAlpha(QColor::fromRgbF(0.88f, 0.9f, 1.0f), 0.75 * p)},
                {1.0, withAlpha(QColor::fromRgbF(0.6f, 0.65f, 1.0f), 0)}});
    painter.restore();  // blend mode and clip end

    drawRims(painter, c, ra, ball.side, skin, environment.increaseContrast);
    painter.restore();
}

}  // namespace zorbel
