#pragma once

#include <QString>
#include <memory>

#include "core/CaptureTypes.h"
#include "input/FileTextExtractor.h"
#include "support/CancellationToken.h"

namespace zorbel {

/// The blocking file readers of FileTextExtractor behind an interface: linked into a program
/// (`linkedFileReading`), or in the document module that the programs load with Tesseract,
/// Poppler and libzip only when they read their first file (DocumentModule). Thread safe.
class FileReading {
public:
    /// The module's one exported function: `const FileReading* zorbel_file_reading()`.
    static constexpr const char* kModuleEntry = "zorbel_file_reading";

    virtual ~FileReading() = default;
    /// FileTextExtractor::extractText.
    virtual QString text(const QString& filePath, const CancellationToken& token,
                         const FileTextExtractor::WordConverter& converter,
                         const PageProgress& progress) const = 0;
    /// FileTextExtractor::prepareImage.
    virtual PreparedImage image(const QString& filePath, const CancellationToken& token) const = 0;
};

/// The readers linked into this program (library zorbel_documents).
std::shared_ptr<const FileReading> linkedFileReading();

}  // namespace zorbel
