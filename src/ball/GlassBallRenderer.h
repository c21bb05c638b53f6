#pragma once

#include "ball/BallSkin.h"
#include "ball/BallVisualRenderer.h"

namespace zorbel {

/// Draws the ball as a tinted glass sphere: body, shade, highlight, glint, caustic, rims and
/// the state's white mark; `recording` breathes and `success` opens with a fading ring.
struct GlassBallRenderer final : BallVisualRenderer {
    /// Takes the skin chosen in the preferences.
    GlassBallRenderer();
    explicit GlassBallRenderer(BallSkin skin_) : skin(std::move(skin_)) {}

    /// Reads the ball material opacity from the appearance settings and draws.
    void render(const BallState& state, const QRectF& rect, double time,
                const BallRenderEnvironment& environment, QPainter& painter) const override;

    /// Draws with the given ball material opacity, which scales the body tint and the shade.
    void draw(const BallState& state, const QRectF& rect, double time,
              const BallRenderEnvironment& environment, QPainter& painter,
              double materialOpacity) const;

    BallSkin skin;
};

}  // namespace zorbel
