#pragma once

#include <QImage>
#include <QPointF>
#include <vector>

#include "ui/ball/BallLayerCache.h"
#include "ui/ball/BallSkin.h"
#include "ui/ball/BallVisualRenderer.h"

namespace zorbel {

/// Where one processing particle is: its point and its distance from the ball's centre.
struct AuroraParticlePosition {
    QPointF point;
    double radius = 0;
    bool operator==(const AuroraParticlePosition&) const = default;
};

/// Draws the processing animation: the ball inhales over 0.22 s, then three coloured glows
/// drift inside the glass, particles spiral into the centre and an energy core pulses, on a
/// two-second loop. Body, shade and rims as the glass ball, with the processing tint.
struct AuroraInhaleRenderer final : BallVisualRenderer {
    /// Takes the skin chosen in the preferences.
    AuroraInhaleRenderer();
    explicit AuroraInhaleRenderer(BallSkin skin_) : skin(std::move(skin_)) {}

    /// The state is used only for its tint (the ball view passes `processing`).
    void draw(const CaptureState& state, const QRectF& rect, double time,
              const BallRenderEnvironment& environment, QPainter& painter,
              double materialOpacity) const override;

    /// Particle `index` at inward `progress` (0 on the outer orbit, 1 at the core) in a ball of
    /// the reference diameter drawn in the square (0, 0, 64, 64) of y-down coordinates.
    /// `time` does not change the result.
    AuroraParticlePosition particlePosition(qint64 index, double progress, double time = 0) const;

    BallSkin skin;
    /// Whether the body, shade and rims are kept as images between frames (see
    /// BallLayerCache); off, every frame is drawn afresh.
    bool cacheStillLayers = true;

private:
    /// Sub-pixel positions a cached particle is drawn at, per device pixel and axis.
    static constexpr int kPhases = 32;
    /// The particle drawn once for each sub-pixel position of its centre, for one radius in
    /// device pixels.
    struct ParticleSprites {
        double radius = 0;
        std::vector<QImage> images;  // kPhases × kPhases, each drawn when first needed
    };

    mutable BallLayerCache m_cache;
    mutable ParticleSprites m_particles;
};

}  // namespace zorbel
