#include "core/FileExtractionError.h"

namespace zorbel {

UserFacingFailure FileExtractionError::userFacingFailure() const {
    using F = UserFacingFailure::Kind;
    switch (m_kind) {
        case Kind::unsupportedType:
            return UserFacingFailure::unsupportedFile(m_extension);
        case Kind::emptyContent:
            return UserFacingFailure::of(F::emptyCapture);
        case Kind::ocrFailed:
            return UserFacingFailure::of(F::ocrFailed);
        case Kind::conversionFailed:
        case Kind::tooLarge:
        case Kind::timedOut:
            return UserFacingFailure::of(F::fileReadFailed);
    }
    return UserFacingFailure::of(F::fileReadFailed);
}

}  // namespace zorbel
