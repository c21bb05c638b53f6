#pragma once

#include <QColor>

#include "core/CaptureState.h"

namespace zorbel::BallStateColors {

/// The opaque colour the ball takes in `state`; payloads (stage, summary, failure) do not
/// matter.
QColor tint(const CaptureState& state);

}  // namespace zorbel::BallStateColors
