#pragma once

// Inputs the file-extraction tests and benchmarks make for themselves: PDFs written with Qt's
// PDF writer, pictures of rendered text, JPEGs with an orientation tag, Word archives.

#include <zip.h>
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <stdexcept>

#include "testkit/TempXdg.h"

namespace zorbel::test::FileFixtures {

inline void require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

/// A Chinese font from Debian (fonts-wqy-microhei), so that rendered text has real glyphs.
inline QString cjkFontFamily() {
    return QStringLiteral("WenQuanYi Micro Hei");
}

inline QFont cjkFont(int pixelSize) {
    QFont font(cjkFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

/// Black lines of text on white, `pixelSize` pixels high, on a picture `width` pixels wide.
inline QImage textImage(const QStringList& lines, int width, int pixelSize) {
    const int lineHeight = pixelSize * 2;
    QImage image(width, lineHeight * (static_cast<int>(lines.size()) + 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.setFont(cjkFont(pixelSize));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        painter.drawText(pixelSize, lineHeight * static_cast<int>(i + 1), lines[i]);
    }
    return image;
}

/// One page of a test PDF: its lines, written as text (a text layer) or drawn as a picture
/// (a scan without text layer), the scan turned clockwise by `scanTurn` degrees. A scan with
/// no lines is a blank picture.
struct PdfPage {
    QStringList lines;
    bool scanned = false;
    int scanTurn = 0;
};

/// Writes an A4 PDF of `pages` with Qt's PDF writer.
inline void writePdf(const QString& path, const QList<PdfPage>& pages) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter painter(&writer);
    require(painter.isActive(), "cannot write the PDF");
    const QRect area = painter.viewport();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0) writer.newPage();
        const PdfPage& page = pages[i];
        if (page.scanned) {
            const QImage scan = textImage(page.lines, area.width() / 2, 40)
                                    .transformed(QTransform().rotate(page.scanTurn));
            painter.drawImage(QRect(QPoint(0, 0), scan.size() * 2), scan);
            continue;
        }
        painter.setFont(cjkFont(60));
        painter.setPen(Qt::black);
        for (qsizetype line = 0; line < page.lines.size(); ++line) {
            painter.drawText(100, 150 + 120 * static_cast<int>(line), page.lines[line]);
        }
    }
}

/// `pdf` (as Qt's PDF writer makes it) with every page turned clockwise by `degrees` for
/// display. The page's annotation entry gives way to the rotation, keeping every offset.
inline QByteArray withPageRotation(const QByteArray& pdf, int degrees) {
    static const QRegularExpression annotations(QStringLiteral("/Annots \\d+ 0 R"));
    QString text = QString::fromLatin1(pdf);
    const QString rotate = QStringLiteral("/Rotate %1").arg(degrees);
    qsizetype replaced = 0;
    for (auto match = annotations.match(text); match.hasMatch(); ++replaced) {
        text.replace(match.capturedStart(), match.capturedLength(),
                     rotate.leftJustified(match.capturedLength(), u' '));
        match = annotations.match(text, match.capturedEnd());
    }
    require(replaced > 0, "no page to turn");
    return text.toLatin1();
}

/// The document part of a Word archive with one paragraph per entry of `paragraphs`.
inline QByteArray documentXml(const QStringList& paragraphs) {
    QByteArray xml = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
        "<w:body>");
    for (const QString& paragraph : paragraphs) {
        xml += "<w:p><w:r><w:t>" + paragraph.toHtmlEscaped().toUtf8() + "</w:t></w:r></w:p>";
    }
    return xml + "</w:body></w:document>";
}

/// Writes a Word (.docx) archive whose document part is `documentXml`.
inline void writeDocx(const QString& path, const QByteArray& documentXml) {
    int error = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    require(archive != nullptr, "cannot create the archive");
    static const QByteArray types = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>");
    for (const auto& [name, data] :
         {std::pair{"[Content_Types].xml", &types}, std::pair{"word/document.xml", &documentXml}}) {
        zip_source_t* source = zip_source_buffer(archive, data->constData(),
                                                 static_cast<zip_uint64_t>(data->size()), 0);
        require(source && zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) >= 0,
                "cannot add to the archive");
    }
    // The buffers are read on close, while they are still alive.
    require(zip_close(archive) == 0, "cannot write the archive");
}

/// `image` as JPEG bytes.
inline QByteArray jpeg(const QImage& image, int quality = 90) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    require(image.save(&buffer, "JPG", quality), "cannot encode the JPEG");
    return bytes;
}

/// `jpeg` with an EXIF orientation tag (1-8) inserted after its start marker: APP1 "Exif", a
/// big-endian TIFF header and one directory holding the tag.
inline QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation) {
    const QByteArray payload =
        QByteArrayLiteral("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01") +
        char(orientation >> 8) + char(orientation & 0xff) +
        QByteArray(6, '\0');  // value padding, no next directory
    const auto length = static_cast<quint16>(payload.size() + 2);
    return jpeg.left(2) + "\xff\xe1" + char(length >> 8) + char(length & 0xff) + payload +
           jpeg.mid(2);
}

using zorbel::test::readFile;
using zorbel::test::writeFile;

}  // namespace zorbel::test::FileFixtures
