#pragma once

namespace zorbel {

/// The display settings one frame is drawn with, built afresh for every frame.
struct BallRenderEnvironment {
    /// Device pixel ratio of the ball's window (2.0 without a window); the renderers do not
    /// read it.
    double scale = 2.0;
    /// The desktop's reduce-motion accessibility setting.
    bool reduceMotion = false;
    /// The desktop's increase-contrast accessibility setting.
    bool increaseContrast = false;

    bool operator==(const BallRenderEnvironment&) const = default;
};

}  // namespace zorbel
