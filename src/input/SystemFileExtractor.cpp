#include "input/SystemFileExtractor.h"

#include <QThreadPool>

#include "support/Background.h"

namespace zorbel {

namespace {

// File extraction has its own threads: a converter or a recognition that takes its time must
// never hold the global pool, which other work (the calendar writes) needs.
QThreadPool* extractionPool() {
    static QThreadPool pool;
    return &pool;
}

}  // namespace

// The work is a named local rather than a temporary inside the co_await expression: GCC 12
// destroys a capturing temporary there twice.

SystemFileExtractor::SystemFileExtractor(std::shared_ptr<const FileReading> reading,
                                         FileTextExtractor::WordConverter converter)
    : m_reading(std::move(reading)), m_converter(std::move(converter)) {}

QCoro::Task<QString> SystemFileExtractor::extractText(QString filePath, CancellationToken token,
                                                      PageProgress progress) {
    auto work = [reading = m_reading, filePath, token,
                 converter = m_converter](const PageProgress& pages) {
        return reading->text(filePath, token, converter, pages);
    };
    QCoro::Task<QString> task =
        runInBackground(std::move(work), extractionPool(), std::move(progress));
    co_return co_await std::move(task);
}

QCoro::Task<PreparedImage> SystemFileExtractor::extractImage(QString filePath,
                                                             CancellationToken token) {
    auto work = [reading = m_reading, filePath, token] { return reading->image(filePath, token); };
    QCoro::Task<PreparedImage> task = runInBackground(std::move(work), extractionPool());
    co_return co_await std::move(task);
}

}  // namespace zorbel
