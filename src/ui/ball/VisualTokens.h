#pragma once

namespace zorbel::VisualTokens {

/// Reference diameter of the ball, in points: the ball window's size, the size `rimWidth` is
/// given for, and the size the processing particles' orbits are computed for.
constexpr double ballDiameter = 64.0;
/// Seconds of the inhale from the glass look into the processing animation.
constexpr double glassToProcessingDuration = 0.22;
/// Seconds of the expanding ring drawn when the success state is entered.
constexpr double successDuration = 0.3;
/// Exponent of the easing with which processing particles fall to the core.
constexpr double particleInwardExponent = 1.35;
/// Radius of the processing energy core as a fraction of the usable ball radius.
constexpr double energyCoreRadiusFrac = 0.14;

}  // namespace zorbel::VisualTokens
