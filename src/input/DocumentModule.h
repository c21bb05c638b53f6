#pragma once

#include "input/FileReading.h"
#include "support/Module.h"

namespace zorbel {

/// The file readers of the document module, loaded on the first file read, so that a program
/// that reads none never maps Tesseract, Poppler and libzip (about 20 ms of start and 12 MB).
class DocumentModule final : public FileReading {
public:
    /// The installed module, beside the program.
    static QString installed() { return moduleBesideProgram(QStringLiteral("documents.so")); }

    explicit DocumentModule(QString path = installed());

    /// Throw FileExtractionError `conversionFailed`, logged as "documentModule", when the
    /// module cannot be loaded.
    QString text(const QString& filePath, const CancellationToken& token,
                 const FileTextExtractor::WordConverter& converter,
                 const PageProgress& progress) const override;
    PreparedImage image(const QString& filePath, const CancellationToken& token) const override;

private:
    const FileReading& readers() const;

    Module<FileReading> m_module;
};

}  // namespace zorbel
