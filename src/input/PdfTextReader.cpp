#include "input/PdfTextReader.h"

#include <poppler/qt6/poppler-qt6.h>
#include <QStringList>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/FileExtractionError.h"
#include "core/FileTextLimits.h"
#include "input/TextRecognizer.h"
#include "support/AppLogger.h"
#include "support/Errors.h"

namespace zorbel::PdfTextReader {

namespace {

// A page far taller than wide would render to an enormous bitmap at the full width; its
// rendering is held to this height (a long strip still reads, at a smaller scale).
constexpr double kMaxRenderedHeight = 8.0 * ocrPageWidth;

void silencePoppler() {
    // Poppler's diagnostics go to stderr; they are of no use to the user and may quote the file.
    static const bool silenced = [] {
        Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
        return true;
    }();
    Q_UNUSED(silenced);
}

// The page rendered upright (Poppler applies the page rotation), `ocrPageWidth` pixels across
// the unrotated page; a null image when it cannot be rendered. `failed` is set for a page whose
// bounds are empty.
QImage renderForRecognition(const Poppler::Page& page, bool& emptyBounds) {
    const QSizeF shown = page.pageSizeF();
    const bool sideways = page.orientation() == Poppler::Page::Landscape ||
                          page.orientation() == Poppler::Page::Seascape;
    const double width = sideways ? shown.height() : shown.width();
    const double height = sideways ? shown.width() : shown.height();
    emptyBounds = !(width > 0 && height > 0);
    if (emptyBounds) return {};
    const double scale = qMin(ocrPageWidth / width, kMaxRenderedHeight / height);
    const double dpi = 72.0 * scale;
    return page.renderToImage(dpi, dpi);
}

// Recognises rendered pages on threads of its own, each with its own engine, and keeps each
// page's text by its index. Threads start as pages arrive, at most `engines` of them. Every
// member is guarded by `m_mutex`; the texts may be read without it once `waitForAll` returned.
class Recognition {
public:
    Recognition(int engines, int total, const CancellationToken& token,
                const PageProgress& progress, QList<std::optional<QString>>& texts)
        : m_engines(engines),
          m_total(total),
          m_token(token),
          m_progress(progress),
          m_texts(texts) {}
    ~Recognition() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_pending -= m_queue.size();
            m_queue.clear();
        }
        m_wake.notify_all();
        for (std::thread& thread : m_threads) thread.join();
    }
    Recognition(const Recognition&) = delete;
    Recognition& operator=(const Recognition&) = delete;

    // Blocks until another page may be rendered: with it, at most one page more than there are
    // engines is held.
    void waitForRoom() {
        waitUntil([this] { return m_pending <= m_engines; });
    }
    void waitForAll() {
        waitUntil([this] { return m_pending == 0; });
    }

    void add(int index, QImage page) {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back({index, std::move(page)});
        ++m_pending;
        if (m_idle == 0 && std::ssize(m_threads) < m_engines) {
            m_threads.emplace_back([this] { work(); });
        }
        m_wake.notify_one();
    }

    int failures() {
        const std::lock_guard lock(m_mutex);
        return m_failures;
    }

    // The characters known so far of the pages before `index`, line breaks between them included.
    qsizetype charsBefore(int index) {
        const std::lock_guard lock(m_mutex);
        qsizetype chars = 0;
        for (int i = 0; i < index; ++i) {
            if (m_texts[i]) chars += m_texts[i]->size() + 1;
        }
        return chars;
    }

private:
    struct Page {
        int index;
        QImage image;
    };

    // Waits for `ready`, telling the progress each time a page is done.
    template <typename Ready>
    void waitUntil(Ready ready) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_reported != m_done) {
                m_reported = m_done;
                lock.unlock();
                if (m_progress) m_progress(m_reported, m_total);
                lock.lock();
                continue;
            }
            if (ready()) return;
            m_changed.wait(lock);
        }
    }

    void work() {
        TextRecognizer recognizer;
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            --m_idle;
            if (m_queue.empty()) return;
            Page page = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            QString text;
            try {
                text = recognizer.recognize(page.image, m_token);
            } catch (const CancelledError&) {
                // the reader throws it once every thread has stopped
            }
            page.image = QImage();  // freed before the page counts as done
            lock.lock();
            if (text.isEmpty()) {
                ++m_failures;
            } else {
                m_texts[page.index] = std::move(text);
            }
            ++m_done;
            --m_pending;
            m_changed.notify_all();
        }
    }

    const int m_engines;
    const int m_total;
    const CancellationToken& m_token;
    const PageProgress& m_progress;
    QList<std::optional<QString>>& m_texts;
    std::mutex m_mutex;
    std::condition_variable m_wake;     // workers: a page was queued, or stop
    std::condition_variable m_changed;  // the reader: a page is done
    std::deque<Page> m_queue;
    std::vector<std::thread> m_threads;
    qsizetype m_pending = 0;  // queued or being recognised
    int m_idle = 0;
    int m_done = 0;
    int m_reported = -1;
    int m_failures = 0;
    bool m_stopping = false;
};

}  // namespace

QString read(const QString& filePath, const CancellationToken& token, const PageProgress& progress,
             int maxScans) {
    silencePoppler();
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(filePath);
    // A locked document must not be asked for pages: that crashed Poppler 22.12.
    if (!document || document->isLocked()) {
        throw FileExtractionError::of(FileExtractionError::Kind::conversionFailed);
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);

    // First the text layers, which are quick, so that the pages to recognise are known.
    const int pageCount = document->numPages();
    QList<std::optional<QString>> texts(pageCount);
    QList<int> scans;
    int textPages = 0;
    int failedPages = 0;
    bool skippedScans = false;
    qsizetype layerChars = 0;
    for (int index = 0; index < pageCount && layerChars <= FileTextExtractor::maxChars; ++index) {
        token.throwIfCancelled();
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        if (!page) {
            ++failedPages;
            continue;
        }
        const QString layer = page->text(QRectF()).trimmed();
        if (!layer.isEmpty()) {
            layerChars += layer.size() + 1;
            texts[index] = layer;
            ++textPages;
        } else if (scans.size() < maxScans) {
            scans.append(index);
        } else {
            skippedScans = true;
        }
    }

    if (!scans.isEmpty()) {
        const int engines = std::clamp(QThread::idealThreadCount(), 1, int(scans.size()));
        Recognition recognition(engines, int(scans.size()), token, progress, texts);
        for (const int index : scans) {
            recognition.waitForRoom();
            token.throwIfCancelled();
            if (recognition.charsBefore(index) > FileTextExtractor::maxChars) break;
            const std::unique_ptr<Poppler::Page> page = document->page(index);
            bool emptyBounds = !page;
            QImage rendered = page ? renderForRecognition(*page, emptyBounds) : QImage();
            if (emptyBounds) {
                ++failedPages;
            } else if (rendered.isNull()) {
                AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ocrRender")));
                ++failedPages;
            } else {
                recognition.add(index, std::move(rendered));
            }
        }
        recognition.waitForAll();
        token.throwIfCancelled();
        failedPages += recognition.failures();
    }
    if (skippedScans) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ocrPageLimit")));
    }
    QStringList kept;
    for (const std::optional<QString>& text : texts) {
        if (text) kept.append(*text);
    }
    const QString text = kept.join(u'\n');
    if (text.isEmpty() && failedPages > 0 && textPages == 0) {
        throw FileExtractionError::of(FileExtractionError::Kind::ocrFailed);
    }
    return text;
}

}  // namespace zorbel::PdfTextReader
