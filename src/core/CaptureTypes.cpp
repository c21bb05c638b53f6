#include "core/CaptureTypes.h"

#include <array>

namespace zorbel {

namespace {

constexpr std::array kCaptureKinds{CaptureKind::voice, CaptureKind::file, CaptureKind::paste,
                                   CaptureKind::image};

}  // namespace

QString rawValue(CaptureKind kind) {
    switch (kind) {
        case CaptureKind::voice:
            return QStringLiteral("voice");
        case CaptureKind::file:
            return QStringLiteral("file");
        case CaptureKind::paste:
            return QStringLiteral("paste");
        case CaptureKind::image:
            return QStringLiteral("image");
    }
    return {};
}

std::optional<CaptureKind> captureKindFromRawValue(const QString& raw) {
    for (const CaptureKind kind : kCaptureKinds) {
        if (rawValue(kind) == raw) return kind;
    }
    return std::nullopt;
}

const char* caseName(ProtectedCapability capability) {
    switch (capability) {
        case ProtectedCapability::microphone:
            return "microphone";
        case ProtectedCapability::speechRecognition:
            return "speechRecognition";
        case ProtectedCapability::calendar:
            return "calendar";
    }
    return "microphone";
}

}  // namespace zorbel
