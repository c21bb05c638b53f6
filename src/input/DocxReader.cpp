#include "input/DocxReader.h"

#include <zip.h>
#include <QFile>
#include <QXmlStreamReader>

namespace zorbel::DocxReader {

namespace {

constexpr const char* kDocumentPart = "word/document.xml";

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};

// The document part, decompressed; nothing when it is missing, unreadable or too large. The
// size recorded in the archive is not trusted: reading stops one byte past the limit.
std::optional<QByteArray> readDocumentPart(const QString& filePath) {
    int error = 0;
    const std::unique_ptr<zip_t, ArchiveCloser> archive(
        zip_open(QFile::encodeName(filePath).constData(), ZIP_RDONLY, &error));
    if (!archive) return std::nullopt;
    const std::unique_ptr<zip_file_t, EntryCloser> entry(
        zip_fopen(archive.get(), kDocumentPart, 0));
    if (!entry) return std::nullopt;
    QByteArray part;
    char chunk[64 * 1024];
    while (true) {
        const zip_int64_t got = zip_fread(entry.get(), chunk, sizeof chunk);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        if (part.size() + got > maxDocumentBytes) return std::nullopt;
        part.append(chunk, got);
    }
    return part;
}

bool isWordNamespace(QStringView uri) {
    return uri == u"http://schemas.openxmlformats.org/wordprocessingml/2006/main" ||
           uri == u"http://purl.oclc.org/ooxml/wordprocessingml/main";
}

// Paragraph texts from the document XML: the text runs (`t`), tabs and breaks of each
// paragraph (`p`). Deleted runs (`delText`), field codes and properties carry no visible text.
std::optional<QString> paragraphsOf(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    QStringList paragraphs;
    QString current;
    int depth = 0;  // text boxes nest paragraphs inside paragraphs
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD) return std::nullopt;  // no entity games
        if (!isWordNamespace(reader.namespaceUri())) continue;
        const QStringView name = reader.name();
        if (token == QXmlStreamReader::StartElement) {
            if (name == u"p") {
                if (depth > 0 && !current.isEmpty()) paragraphs.append(current);
                current.clear();
                ++depth;
            } else if (name == u"t") {
                current += reader.readElementText();
            } else if (name == u"tab") {
                current += u'\t';
            } else if (name == u"br" || name == u"cr") {
                current += u'\n';
            }
        } else if (token == QXmlStreamReader::EndElement && name == u"p" && depth > 0) {
            paragraphs.append(current);
            current.clear();
            --depth;
        }
    }
    if (reader.hasError()) return std::nullopt;
    return paragraphs.join(u'\n');
}

}  // namespace

bool looksLikeZip(const QString& filePath) {
    QFile file(filePath);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArrayLiteral("PK\x03\x04");
}

std::optional<QString> readText(const QString& filePath) {
    const std::optional<QByteArray> part = readDocumentPart(filePath);
    if (!part) return std::nullopt;
    return paragraphsOf(*part);
}

}  // namespace zorbel::DocxReader
