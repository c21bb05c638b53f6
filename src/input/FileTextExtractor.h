#pragma once

// Turns a dropped file into text for the language model, or a picture into a JPEG for a vision
// model. Everything here blocks the calling thread (OCR, PDF rendering, a converter process)
// and holds no state: call it from a worker thread, as SystemFileExtractor does. The limits and
// the picture test shared with the capture coordinator are in capture/FileTextLimits.h.

#include <QString>
#include <QStringList>

#include "core/CaptureTypes.h"
#include "core/FileTextLimits.h"
#include "support/CancellationToken.h"

namespace zorbel::FileTextExtractor {

/// Longest side, in pixels, of a picture prepared for the model.
inline constexpr int visionMaxPixelSize = 1568;
/// Longest side, in pixels, of a picture recognised by OCR.
inline constexpr int ocrMaxPixelSize = 2000;
/// JPEG quality of a prepared picture (0.85).
inline constexpr int jpegQuality = 85;
/// The most bytes a Word converter may write; far more than `maxChars` characters of text.
inline constexpr qint64 maxConvertedBytes = 4LL * 1024 * 1024;

/// The program that turns a legacy Word (.doc) file into UTF-8 text on its standard output.
/// The file's absolute path is appended to `arguments`.
struct WordConverter {
    QString program;
    QStringList arguments;
    /// How long the converter may run before it is killed.
    int timeoutMs = 30000;
    /// antiword, asked for UTF-8 output.
    static WordConverter standard() {
        return {QStringLiteral("/usr/bin/antiword"),
                {QStringLiteral("-m"), QStringLiteral("UTF-8.txt")}};
    }
};

/// The text of the file, at most `maxChars` characters, chosen by the lower-cased extension:
/// "pdf" (text layer, OCR for pages without one); "txt", "md", "markdown", "rtf", "html" (read
/// unchanged as UTF-16 by its mark or NUL pattern, else UTF-8, else GB18030; a text with a NUL
/// is binary and refused); "doc", "docx" (an Office Open XML archive is read directly,
/// anything else goes through `converter`); a picture extension (OCR).
/// Throws FileExtractionError: `unsupportedType` (any other extension), `emptyContent` (no
/// text), `conversionFailed` (not a regular file, unreadable, undecodable or rejected by the
/// converter),
/// `ocrFailed` (a PDF with no text whose pages failed), `timedOut` (the converter ran past its
/// time limit), `tooLarge` (a picture past the decoding limits, converter output past
/// `maxConvertedBytes`); CancelledError when `token` is cancelled at a checkpoint (before a
/// picture is read, before each PDF page and while a page or picture is recognised, while the
/// Word conversion runs). A converter that times out, writes too much or is cancelled is
/// killed. `progress` follows the pages of a scanned PDF (PdfTextReader::read).
QString extractText(const QString& filePath, const CancellationToken& token = {},
                    const WordConverter& converter = WordConverter::standard(),
                    const PageProgress& progress = {});

/// The picture as a JPEG of at most `visionMaxPixelSize` pixels on its longest side, decoded
/// straight to that size, orientation applied, transparency flattened onto white.
/// Throws FileExtractionError `conversionFailed` when it cannot be decoded or encoded;
/// CancelledError when `token` is cancelled before the picture is read.
PreparedImage prepareImage(const QString& filePath, const CancellationToken& token = {});

}  // namespace zorbel::FileTextExtractor
