#pragma once

// Inputs the file-extraction tests and benchmarks make for themselves: PDFs written with Qt's
// PDF writer, pictures of rendered text, JPEGs with an orientation tag, Word archives.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/FileExtractionError.h"

namespace zorbel::test::FileFixtures {

/// A Chinese font from Debian (fonts-wqy-microhei), so that rendered text has real glyphs.
QString cjkFontFamily();

/// Black lines of text on white, `pixelSize` pixels high, on a picture `width` pixels wide.
QImage textImage(const QStringList& lines, int width, int pixelSize);

/// One page of a test PDF: its lines, written as text (a text layer) or drawn as a picture
/// (a scan without text layer), the scan turned clockwise by `scanTurn` degrees. A scan with
/// no lines is a blank picture.
struct PdfPage {
    QStringList lines;
    bool scanned = false;
    int scanTurn = 0;
};

/// Writes an A4 PDF of `pages` with Qt's PDF writer.
void writePdf(const QString& path, const QList<PdfPage>& pages);

/// `pdf` (as Qt's PDF writer makes it) with every page turned clockwise by `degrees` for
/// display. The page's annotation entry gives way to the rotation, keeping every offset.
QByteArray withPageRotation(const QByteArray& pdf, int degrees);

/// The document part of a Word archive with one paragraph per entry of `paragraphs`.
QByteArray documentXml(const QStringList& paragraphs);

/// Writes a Word (.docx) archive whose document part is `documentXml`.
void writeDocx(const QString& path, const QByteArray& documentXml);

/// `image` as JPEG bytes.
QByteArray jpeg(const QImage& image, int quality = 90);

/// `jpeg` with an EXIF orientation tag (1-8) inserted after its start marker.
QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation);

/// The FileExtractionError `work` throws, or nothing when it returns.
template <typename Work>
std::optional<FileExtractionError> extractionError(Work work) {
    try {
        work();
    } catch (const FileExtractionError& error) {
        return error;
    }
    return std::nullopt;
}

/// Writes `bytes` to `path`.
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace zorbel::test::FileFixtures
