#pragma once

#include <QString>

#include "support/CancellationToken.h"

namespace zorbel {

class TextRecognizer;

namespace PdfTextReader {

/// Width in pixels at which a page without a text layer is rendered for recognition.
inline constexpr int ocrPageWidth = 2000;
/// The most pages without a text layer recognised in one document.
inline constexpr int maxRecognizedPages = 20;

/// The text of every page of the PDF in `filePath`, in order, joined with "\n": a page's text
/// layer trimmed at both ends, or else the page rendered `ocrPageWidth` pixels wide (upright,
/// on white) and recognised by `recognizer`. Reading stops once the text is past the text
/// limit (`FileTextExtractor::maxChars`); pages without a text layer past the first
/// `maxScans` are skipped and logged as "ocrPageLimit". An empty text for a document without
/// pages.
/// Throws CancelledError when `token` is cancelled before a page; FileExtractionError
/// `conversionFailed` when the file cannot be opened or is encrypted; `ocrFailed` when no page
/// had a text layer, nothing was recognised and at least one page failed. Logs "ocrRender"
/// for a page that cannot be rendered.
QString read(const QString& filePath, const CancellationToken& token, TextRecognizer& recognizer,
             int maxScans = maxRecognizedPages);

}  // namespace PdfTextReader
}  // namespace zorbel
