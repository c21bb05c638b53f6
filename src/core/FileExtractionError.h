#pragma once

#include <QString>

#include "core/UserFacingFailure.h"
#include "support/Errors.h"

namespace zorbel {

/// Why a dropped file gave no text or image. Carries no user text: the words belong to the
/// user-facing failure it maps to.
class FileExtractionError : public Error {
public:
    enum class Kind {
        unsupportedType,   ///< the extension is not one of the recognised types
        emptyContent,      ///< extraction produced no text
        ocrFailed,         ///< a PDF had no text at all and one of its pages could not be read
        conversionFailed,  ///< the file cannot be opened, decoded, converted or encoded
        tooLarge,          ///< the picture or the converter's output is past its size limit
        timedOut,          ///< the converter did not finish within its time limit
    };

    /// `extension` is the lower-cased file extension without the dot.
    static FileExtractionError unsupportedType(const QString& extension) {
        return FileExtractionError(Kind::unsupportedType, extension);
    }
    static FileExtractionError of(Kind kind) { return FileExtractionError(kind, {}); }

    Kind kind() const { return m_kind; }
    const QString& extension() const { return m_extension; }
    UserFacingFailure userFacingFailure() const;

    bool operator==(const FileExtractionError& other) const {
        return m_kind == other.m_kind && m_extension == other.m_extension;
    }

private:
    FileExtractionError(Kind kind, QString extension)
        : Error("fileExtraction"), m_kind(kind), m_extension(std::move(extension)) {}

    Kind m_kind;
    QString m_extension;
};

}  // namespace zorbel
