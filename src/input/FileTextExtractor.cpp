#include "input/FileTextExtractor.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include "core/FileExtractionError.h"
#include "input/DocxReader.h"
#include "input/FileReading.h"
#include "input/PdfTextReader.h"
#include "input/Pictures.h"
#include "input/TextRecognizer.h"
#include "support/AppLogger.h"

namespace zorbel::FileTextExtractor {

namespace {

using Kind = FileExtractionError::Kind;

// A plain-text file is read up to this size; the model never sees more than `maxChars`
// characters of it, and a huge file must not fill the memory.
constexpr qint64 kMaxPlainTextBytes = 64LL * 1024 * 1024;

void logFailure(const char* code) {
    AppLogger::shared().record(AppLogEvent::failure(QLatin1String(code)));
}

[[noreturn]] void fail(Kind kind) {
    throw FileExtractionError::of(kind);
}

// Only a regular file is read: a FIFO or a device named like a document would block the
// thread that opens it.
void requireRegularFile(const QString& filePath) {
    if (!QFileInfo(filePath).isFile()) fail(Kind::conversionFailed);
}

bool isPlainTextExtension(const QString& extension) {
    static const QStringList extensions{QStringLiteral("txt"), QStringLiteral("md"),
                                        QStringLiteral("markdown"), QStringLiteral("rtf"),
                                        QStringLiteral("html")};
    return extensions.contains(extension);
}

// `bytes` decoded strictly: nothing for any invalid sequence. `complete` is false when `bytes`
// is a prefix of the file, so that a character cut at the end is not an error. `encoding` is a
// QStringConverter::Encoding or a codec name.
template <typename Encoding>
std::optional<QString> decodeStrictly(Encoding encoding, const QByteArray& bytes, bool complete) {
    QStringDecoder decoder(
        encoding, complete ? QStringConverter::Flag::Stateless : QStringConverter::Flag::Default);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

// The text by its byte-order mark (UTF-16), else as UTF-16 when only every other byte is NUL
// (ASCII in UTF-16 without a mark), else as UTF-8 (a mark is dropped), else as GB18030 (the
// GBK files of Chinese systems).
std::optional<QString> decodePlainText(const QByteArray& bytes, bool complete) {
    using E = QStringConverter::Encoding;
    if (bytes.startsWith("\xFF\xFE")) return decodeStrictly(E::Utf16LE, bytes, complete);
    if (bytes.startsWith("\xFE\xFF")) return decodeStrictly(E::Utf16BE, bytes, complete);
    qsizetype nuls[2] = {0, 0};  // at even and at odd offsets
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') ++nuls[i % 2];
    }
    std::optional<QString> text;
    if (nuls[0] == 0 && nuls[1] > 0) text = decodeStrictly(E::Utf16LE, bytes, complete);
    if (nuls[0] > 0 && nuls[1] == 0) text = decodeStrictly(E::Utf16BE, bytes, complete);
    if (!text) text = decodeStrictly(E::Utf8, bytes, complete);
    if (!text) text = decodeStrictly("GB18030", bytes, complete);
    return text;
}

QString plainText(const QString& filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) fail(Kind::conversionFailed);
    const QByteArray bytes = file.read(kMaxPlainTextBytes);
    if (file.error() != QFileDevice::NoError) fail(Kind::conversionFailed);
    const std::optional<QString> text = decodePlainText(bytes, file.atEnd());
    // NUL is no character of a text: the file is binary.
    if (!text || text->contains(u'\0')) fail(Kind::conversionFailed);
    return *text;
}

// The picture decoded to at most `maxPixelSize`.
QImage thumbnailOf(const QString& filePath, int maxPixelSize) {
    QImage thumbnail = Pictures::loadThumbnail(filePath, maxPixelSize);
    if (thumbnail.isNull()) {
        logFailure("imageDecode");
        fail(Kind::conversionFailed);
    }
    return thumbnail;
}

QString pictureText(const QString& filePath, const CancellationToken& token) {
    return TextRecognizer().recognize(thumbnailOf(filePath, ocrMaxPixelSize), token);
}

// Stops the converter for good and fails with `kind`, logged as `code`.
[[noreturn]] void stopConverter(QProcess& process, Kind kind, const char* code) {
    process.kill();
    process.waitForFinished(-1);
    logFailure(code);
    fail(kind);
}

QString convertedText(const QString& filePath, const CancellationToken& token,
                      const WordConverter& converter) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // The absolute path cannot be taken for an option, whatever the file is called.
    process.start(converter.program,
                  converter.arguments + QStringList{QFileInfo(filePath).absoluteFilePath()});
    if (!process.waitForStarted(-1)) {
        logFailure("textutilStart");
        fail(Kind::conversionFailed);
    }
    // The output is read while the converter runs, so that it never blocks on a full pipe and
    // never grows past its cap; the token is looked at between the waits.
    QElapsedTimer elapsed;
    elapsed.start();
    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(50);
        output += process.readAllStandardOutput();
        if (token.isCancelled()) {
            process.kill();
            process.waitForFinished(-1);
            token.throwIfCancelled();
        }
        if (output.size() > maxConvertedBytes) {
            stopConverter(process, Kind::tooLarge, "textutilOutputLimit");
        }
        if (process.state() != QProcess::NotRunning && elapsed.hasExpired(converter.timeoutMs)) {
            stopConverter(process, Kind::timedOut, "textutilTimeout");
        }
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        logFailure("textutilConvert");
        fail(Kind::conversionFailed);
    }
    // Output that is not UTF-8 gives no text.
    return decodeStrictly(QStringConverter::Utf8, output, true).value_or(QString());
}

QString wordText(const QString& filePath, const CancellationToken& token,
                 const WordConverter& converter) {
    // A Word file is judged by its content, as the converter would: a .doc that is really an
    // Office Open XML archive is read like a .docx, a .docx that is not an archive goes to the
    // converter (which rejects what it cannot read).
    if (DocxReader::looksLikeZip(filePath)) {
        const std::optional<QString> text = DocxReader::readText(filePath);
        token.throwIfCancelled();
        if (!text) {
            logFailure("textutilConvert");
            fail(Kind::conversionFailed);
        }
        return *text;
    }
    return convertedText(filePath, token, converter);
}

}  // namespace

QString extractText(const QString& filePath, const CancellationToken& token,
                    const WordConverter& converter, const PageProgress& progress) {
    const QString extension = lowerExtension(filePath);
    const bool pdf = extension == u"pdf";
    const bool plain = isPlainTextExtension(extension);
    const bool word = extension == u"doc" || extension == u"docx";
    const bool picture = isImageFile(filePath);
    if (!pdf && !plain && !word && !picture) {
        logFailure("unsupportedFile");
        throw FileExtractionError::unsupportedType(extension);
    }
    token.throwIfCancelled();
    requireRegularFile(filePath);
    QString text;
    if (pdf) {
        text = PdfTextReader::read(filePath, token, progress);
    } else if (plain) {
        text = plainText(filePath);
    } else if (word) {
        text = wordText(filePath, token, converter);
    } else {
        text = pictureText(filePath, token);
    }
    if (text.isEmpty()) {
        logFailure("fileExtractEmpty");
        fail(Kind::emptyContent);
    }
    return truncateToLimit(text);
}

PreparedImage prepareImage(const QString& filePath, const CancellationToken& token) {
    token.throwIfCancelled();
    requireRegularFile(filePath);
    const QImage thumbnail = thumbnailOf(filePath, visionMaxPixelSize);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!Pictures::flattenedOnWhite(thumbnail).save(&buffer, "JPG", jpegQuality)) {
        logFailure("imageEncode");
        fail(Kind::conversionFailed);
    }
    return PreparedImage{jpeg, QStringLiteral("image/jpeg")};
}

}  // namespace zorbel::FileTextExtractor

namespace zorbel {

namespace {

class LinkedFileReading final : public FileReading {
public:
    QString text(const QString& filePath, const CancellationToken& token,
                 const FileTextExtractor::WordConverter& converter,
                 const PageProgress& progress) const override {
        return FileTextExtractor::extractText(filePath, token, converter, progress);
    }
    PreparedImage image(const QString& filePath, const CancellationToken& token) const override {
        return FileTextExtractor::prepareImage(filePath, token);
    }
};

}  // namespace

std::shared_ptr<const FileReading> linkedFileReading() {
    static const auto reading = std::make_shared<const LinkedFileReading>();
    return reading;
}

}  // namespace zorbel
