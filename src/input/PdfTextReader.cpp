#include "input/PdfTextReader.h"

#include <poppler/qt6/poppler-qt6.h>
#include <QStringList>

#include "core/FileExtractionError.h"
#include "core/FileTextLimits.h"
#include "input/TextRecognizer.h"
#include "support/AppLogger.h"

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

}  // namespace

QString read(const QString& filePath, const CancellationToken& token, TextRecognizer& recognizer,
             int maxScans) {
    silencePoppler();
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(filePath);
    // A locked document must not be asked for pages: that crashed Poppler 22.12.
    if (!document || document->isLocked()) {
        throw FileExtractionError::of(FileExtractionError::Kind::conversionFailed);
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);

    QStringList texts;
    int textPages = 0;
    int failedPages = 0;
    int scans = 0;
    bool skippedScans = false;
    const int pageCount = document->numPages();
    for (int index = 0; index < pageCount && !FileTextExtractor::exceedsLimit(texts.join(u'\n'));
         ++index) {
        token.throwIfCancelled();
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        if (!page) {
            ++failedPages;
            continue;
        }
        const QString layer = page->text(QRectF()).trimmed();
        if (!layer.isEmpty()) {
            texts.append(layer);
            ++textPages;
            continue;
        }
        if (++scans > maxScans) {
            skippedScans = true;
            continue;
        }
        bool emptyBounds = false;
        const QImage rendered = renderForRecognition(*page, emptyBounds);
        if (emptyBounds) {
            ++failedPages;
            continue;
        }
        if (rendered.isNull()) {
            AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ocrRender")));
            ++failedPages;
            continue;
        }
        const QString recognized = recognizer.recognize(rendered);
        if (recognized.isEmpty()) {
            ++failedPages;
        } else {
            texts.append(recognized);
        }
    }
    if (skippedScans) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ocrPageLimit")));
    }
    const QString text = texts.join(u'\n');
    if (text.isEmpty() && failedPages > 0 && textPages == 0) {
        throw FileExtractionError::of(FileExtractionError::Kind::ocrFailed);
    }
    return text;
}

}  // namespace zorbel::PdfTextReader
