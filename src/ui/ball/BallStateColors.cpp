#include "ui/ball/BallStateColors.h"

namespace zorbel::BallStateColors {

QColor tint(const CaptureState& state) {
    switch (state.kind()) {
        case CaptureState::Kind::idle:
            return QColor::fromRgbF(0.42f, 0.47f, 0.95f);
        case CaptureState::Kind::dropTarget:
            return QColor::fromRgbF(0.98f, 0.62f, 0.20f);
        case CaptureState::Kind::recording:
            return QColor::fromRgbF(0.95f, 0.34f, 0.38f);
        case CaptureState::Kind::processing:
        case CaptureState::Kind::confirmation:
            return QColor::fromRgbF(0.45f, 0.40f, 0.95f);
        case CaptureState::Kind::success:
            return QColor::fromRgbF(0.28f, 0.78f, 0.45f);
        case CaptureState::Kind::failure:
            return QColor::fromRgbF(0.72f, 0.22f, 0.26f);
    }
    return QColor::fromRgbF(0.42f, 0.47f, 0.95f);
}

}  // namespace zorbel::BallStateColors
