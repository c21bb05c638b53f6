#include "testkit/FileFixtures.h"

#include <zip.h>
#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTransform>
#include <stdexcept>

namespace zorbel::test::FileFixtures {

namespace {

QFont cjkFont(int pixelSize) {
    QFont font(cjkFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

void require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

}  // namespace

QString cjkFontFamily() {
    return QStringLiteral("WenQuanYi Micro Hei");
}

QImage textImage(const QStringList& lines, int width, int pixelSize) {
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

void writePdf(const QString& path, const QList<PdfPage>& pages) {
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
        } else {
            painter.setFont(cjkFont(60));
            painter.setPen(Qt::black);
            for (qsizetype line = 0; line < page.lines.size(); ++line) {
                painter.drawText(100, 150 + 120 * static_cast<int>(line), page.lines[line]);
            }
        }
    }
    painter.end();
}

QByteArray withPageRotation(const QByteArray& pdf, int degrees) {
    static const QRegularExpression annotations(QStringLiteral("/Annots \\d+ 0 R"));
    QString text = QString::fromLatin1(pdf);
    const QString rotate = QStringLiteral("/Rotate %1").arg(degrees);
    qsizetype replaced = 0;
    for (QRegularExpressionMatch match = annotations.match(text); match.hasMatch();
         match = annotations.match(text, match.capturedEnd())) {
        text.replace(match.capturedStart(), match.capturedLength(),
                     rotate.leftJustified(match.capturedLength(), u' '));
        ++replaced;
    }
    require(replaced > 0, "no page to turn");
    return text.toLatin1();
}

QByteArray documentXml(const QStringList& paragraphs) {
    QByteArray xml = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
        "<w:body>");
    for (const QString& paragraph : paragraphs) {
        xml += "<w:p><w:r><w:t>" + paragraph.toHtmlEscaped().toUtf8() + "</w:t></w:r></w:p>";
    }
    xml += "</w:body></w:document>";
    return xml;
}

void writeDocx(const QString& path, const QByteArray& documentXml) {
    int error = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    require(archive != nullptr, "cannot create the archive");
    static const QByteArray types = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>");
    const auto add = [archive](const char* name, const QByteArray& data) {
        zip_source_t* source =
            zip_source_buffer(archive, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        require(source && zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) >= 0,
                "cannot add to the archive");
    };
    add("[Content_Types].xml", types);
    add("word/document.xml", documentXml);
    // The buffers are read on close, while they are still alive.
    require(zip_close(archive) == 0, "cannot write the archive");
}

QByteArray jpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    require(image.save(&buffer, "JPG", quality), "cannot encode the JPEG");
    return bytes;
}

QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation) {
    // APP1 "Exif": a big-endian TIFF header and one directory holding the orientation tag.
    QByteArray tiff = QByteArrayLiteral("MM\x00\x2a\x00\x00\x00\x08");
    tiff += QByteArrayLiteral("\x00\x01");                          // one entry
    tiff += QByteArrayLiteral("\x01\x12\x00\x03\x00\x00\x00\x01");  // orientation, SHORT, 1
    tiff += static_cast<char>(orientation >> 8);
    tiff += static_cast<char>(orientation & 0xff);
    tiff += QByteArrayLiteral("\x00\x00");          // padding of the value
    tiff += QByteArrayLiteral("\x00\x00\x00\x00");  // no next directory
    const QByteArray payload = QByteArrayLiteral("Exif\x00\x00") + tiff;
    QByteArray segment = QByteArrayLiteral("\xff\xe1");
    const quint16 length = static_cast<quint16>(payload.size() + 2);
    segment += static_cast<char>(length >> 8);
    segment += static_cast<char>(length & 0xff);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
            "cannot write the file");
}

}  // namespace zorbel::test::FileFixtures
