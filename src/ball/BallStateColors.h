#pragma once

#include <QColor>

#include "capture/BallState.h"

namespace zorbel::BallStateColors {

/// The opaque colour the ball takes in `state`; payloads (stage, summary, failure) do not
/// matter.
QColor tint(const BallState& state);

}  // namespace zorbel::BallStateColors
