#pragma once

#include "core/CaptureServices.h"
#include "input/FileReading.h"

namespace zorbel {

/// The file extractor the capture coordinator holds: runs `reading` on the thread pool
/// and resumes the awaiting coroutine on its own thread with the result. Errors pass through
/// unchanged (FileExtractionError, CancelledError). Cancelling the token stops the work at its
/// next checkpoint; the awaiting coroutine resumes once the work has stopped.
class SystemFileExtractor final : public FileExtracting {
public:
    explicit SystemFileExtractor(
        std::shared_ptr<const FileReading> reading,
        FileTextExtractor::WordConverter converter = FileTextExtractor::WordConverter::standard());

    QCoro::Task<QString> extractText(QString filePath, CancellationToken token,
                                     PageProgress progress) override;
    QCoro::Task<PreparedImage> extractImage(QString filePath, CancellationToken token) override;

private:
    std::shared_ptr<const FileReading> m_reading;
    FileTextExtractor::WordConverter m_converter;
};

}  // namespace zorbel
