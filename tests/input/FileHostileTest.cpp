// Files made to hurt: each is refused (or capped) quickly with a typed error and a log code.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QElapsedTimer>

#include "input/PdfTextReader.h"
#include "input/TextRecognizer.h"
#include "testkit/FileExtractionFixture.h"
#include "testkit/FileFixtures.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;

namespace {

class FileHostile : public zorbel::test::FileExtractionFixture {};

// A progressive JPEG header claiming 16000 x 16000 pixels: all the size check reads.
QByteArray progressiveClaim() {
    QImage tile(16, 16, QImage::Format_RGB32);
    tile.fill(Qt::gray);
    QByteArray bytes = FF::jpeg(tile);
    const qsizetype frame = bytes.indexOf("\xFF\xC0");
    bytes[frame + 1] = '\xC2';
    bytes.replace(frame + 5, 4, QByteArray::fromHex("3e803e80"));
    return bytes;
}

}  // namespace

TEST_F(FileHostile, AreRefusedQuicklyWithTypedErrors) {
    const QString fifo = dir.filePath(QStringLiteral("x.txt"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const FTE::WordConverter sleeper{
        QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec sleep 5")}, 300};
    struct Case {
        QString path;
        Kind kind;
        QStringList codes;
    };
    const QList<Case> cases{
        {write(QStringLiteral("bomb.jpg"), progressiveClaim()),
         Kind::tooLarge,
         {QStringLiteral("imageTooLarge")}},
        {write(QStringLiteral("stuck.doc"), "text"),
         Kind::timedOut,
         {QStringLiteral("textutilTimeout")}},
        {fifo, Kind::conversionFailed, {}},
        {write(QStringLiteral("binary.txt"), QByteArray(64, '\0') + "ab"),
         Kind::conversionFailed,
         {}},
    };
    for (const Case& c : cases) {
        log.clear();
        QElapsedTimer timer;
        timer.start();
        const auto error = errorOf(c.path, sleeper);
        ASSERT_TRUE(error) << qPrintable(c.path);
        EXPECT_EQ(error->kind(), c.kind) << qPrintable(c.path);
        EXPECT_EQ(log.failureCodes(), c.codes) << qPrintable(c.path);
        EXPECT_LT(timer.elapsed(), 2000) << qPrintable(c.path);
    }
}

TEST_F(FileHostile, ScannedPagesPastTheCapAreSkippedAndSaid) {
    const QString path = dir.filePath(QStringLiteral("scans.pdf"));
    FF::writePdf(path, {{{QStringLiteral("第一页")}},
                        {{}, true},
                        {{QStringLiteral("Budget")}, true},
                        {{QStringLiteral("最后一页")}}});
    zorbel::TextRecognizer recognizer;
    EXPECT_EQ(zorbel::PdfTextReader::read(path, {}, recognizer, 1), u"第一页\n最后一页");
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("ocrPageLimit")});
}
