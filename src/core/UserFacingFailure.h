#pragma once

#include <QString>

#include "core/CaptureTypes.h"

namespace zorbel {

/// The closed set of failures the user sees. Two cases carry a value: `permissionDenied` (the
/// capability) and `unsupportedFile` (the lower-case extension without the dot). Equality is
/// structural: same case and equal value.
class UserFacingFailure {
public:
    enum class Kind {
        permissionDenied,
        unsupportedFile,
        emptyCapture,
        recordingUnavailable,
        fileReadFailed,
        ocrFailed,
        cloudTransmissionDeclined,
        providerUnavailable,
        network,
        invalidModelResponse,
        calendarWrite,
    };

    static UserFacingFailure permissionDenied(ProtectedCapability capability) {
        return UserFacingFailure(Kind::permissionDenied, capability, {});
    }
    static UserFacingFailure unsupportedFile(const QString& extension) {
        return UserFacingFailure(Kind::unsupportedFile, {}, extension);
    }
    /// Any case without a value; `kind` must not be `permissionDenied` or `unsupportedFile`.
    static UserFacingFailure of(Kind kind) { return UserFacingFailure(kind, {}, {}); }

    Kind kind() const { return m_kind; }
    /// The capability of `permissionDenied`; `microphone` for every other case.
    ProtectedCapability capability() const { return m_capability; }
    /// The extension of `unsupportedFile`; empty for every other case.
    const QString& extension() const { return m_extension; }

    bool operator==(const UserFacingFailure&) const = default;

    /// The log code: the case name, with its value for the two cases that carry one, e.g.
    /// `emptyCapture`, `unsupportedFile("xlsx")`,
    /// `permissionDenied(Zorbel.ProtectedCapability.microphone)`.
    QString logCode() const;

private:
    UserFacingFailure(Kind kind, ProtectedCapability capability, QString extension)
        : m_kind(kind), m_capability(capability), m_extension(std::move(extension)) {}

    Kind m_kind;
    ProtectedCapability m_capability = ProtectedCapability::microphone;
    QString m_extension;
};

}  // namespace zorbel
