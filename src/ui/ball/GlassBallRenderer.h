#pragma once

#include "ui/ball/BallLayerCache.h"
#include "ui/ball/BallSkin.h"
#include "ui/ball/BallVisualRenderer.h"

namespace zorbel {

/// Draws the ball as a tinted glass sphere: body, shade, highlight, glint, caustic, rims and
/// the state's white mark; `recording` breathes and `success` opens with a fading ring. All
/// but the ring is drawn once per look, size and breath and kept as images.
struct GlassBallRenderer final : BallVisualRenderer {
    /// Takes the skin chosen in the preferences.
    GlassBallRenderer();
    explicit GlassBallRenderer(BallSkin skin_) : skin(std::move(skin_)) {}

    void draw(const CaptureState& state, const QRectF& rect, double time,
              const BallRenderEnvironment& environment, QPainter& painter,
              double materialOpacity) const override;

    BallSkin skin;
    /// Whether the still layers are kept as images between frames (see BallLayerCache); off,
    /// every frame is drawn afresh.
    bool cacheStillLayers = true;

private:
    mutable BallLayerCache m_cache;
};

}  // namespace zorbel
