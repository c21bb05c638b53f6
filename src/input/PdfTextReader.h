#pragma once

#include <QString>

#include "core/CaptureTypes.h"
#include "support/CancellationToken.h"

namespace zorbel::PdfTextReader {

/// Width in pixels at which a page without a text layer is rendered for recognition.
inline constexpr int ocrPageWidth = 2000;
/// The most pages without a text layer recognised in one document.
inline constexpr int maxRecognizedPages = 20;

/// The text of every page of the PDF in `filePath`, in order, joined with "\n": a page's text
/// layer trimmed at both ends, or else the page rendered `ocrPageWidth` pixels wide (upright,
/// on white) and recognised. Pages are recognised in parallel, one engine per core, with at
/// most one rendered page more than there are engines held in memory; `progress` is told
/// (0, N) before the first of the N pages to recognise and after each one. Reading stops once
/// the text is past the text limit (`FileTextExtractor::maxChars`); pages without a text layer
/// past the first `maxScans` are skipped and logged as "ocrPageLimit". An empty text for a
/// document without pages.
/// Throws CancelledError when `token` is cancelled (checked before each page and between the
/// words of a page being recognised); FileExtractionError `conversionFailed` when the file
/// cannot be opened or is encrypted; `ocrFailed` when no page had a text layer, nothing was
/// recognised and at least one page failed. Logs "ocrRender" for a page that cannot be
/// rendered.
QString read(const QString& filePath, const CancellationToken& token,
             const PageProgress& progress = {}, int maxScans = maxRecognizedPages);

}  // namespace zorbel::PdfTextReader
