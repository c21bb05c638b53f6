#include "input/DocumentModule.h"

#include "core/FileExtractionError.h"

namespace zorbel {

DocumentModule::DocumentModule(QString path)
    : m_module(std::move(path), FileReading::kModuleEntry, "documentModule") {}

const FileReading& DocumentModule::readers() const {
    const FileReading* readers = m_module.get();
    if (!readers) throw FileExtractionError::of(FileExtractionError::Kind::conversionFailed);
    return *readers;
}

QString DocumentModule::text(const QString& filePath, const CancellationToken& token,
                             const FileTextExtractor::WordConverter& converter,
                             const PageProgress& progress) const {
    return readers().text(filePath, token, converter, progress);
}

PreparedImage DocumentModule::image(const QString& filePath, const CancellationToken& token) const {
    return readers().image(filePath, token);
}

}  // namespace zorbel
