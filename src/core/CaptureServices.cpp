#include "core/CaptureServices.h"

namespace zorbel {

// Out of line, so that code which only names the interfaces needs nothing of this library.

QCoro::Task<PreparedImage> FileExtracting::extractImage(QString filePath, CancellationToken) {
    throw FileExtractionError::unsupportedType(FileTextExtractor::lowerExtension(filePath));
    co_return PreparedImage{};
}

QCoro::Task<QList<ExtractedEvent>> EventExtracting::extractEvents(PreparedImage, QString,
                                                                  CancellationToken) {
    throw FileExtractionError::unsupportedType(QStringLiteral("image"));
    co_return QList<ExtractedEvent>{};
}

}  // namespace zorbel
