// Pictures: OCR of a thumbnail on the text route, JPEG for the model on the picture route.

#include <gtest/gtest.h>
#include <zlib.h>
#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>

#include "input/FileTextExtractor.h"
#include "support/Errors.h"
#include "testkit/FileExtractionFixture.h"
#include "testkit/FileFixtures.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;

namespace {

class FilePicture : public zorbel::test::FileExtractionFixture {
protected:
    QString save(const QString& name, const QImage& image) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
};

QImage decoded(const zorbel::PreparedImage& prepared) {
    EXPECT_EQ(prepared.mimeType, u"image/jpeg");
    EXPECT_TRUE(prepared.data.startsWith("\xFF\xD8"));
    return QImage::fromData(prepared.data, "JPG");
}

bool isNear(QColor actual, QColor expected) {
    return qAbs(actual.red() - expected.red()) < 40 &&
           qAbs(actual.green() - expected.green()) < 40 &&
           qAbs(actual.blue() - expected.blue()) < 40;
}

}  // namespace

TEST_F(FilePicture, RecognisesChineseAndEnglishInAnUprightThumbnail) {
    const QImage page = FF::textImage(
        {QStringLiteral("周五下午三点开会"), QStringLiteral("Budget meeting at 3 pm")}, 1400, 56);
    // Stored turned a quarter to the left, with the tag that turns it back.
    const QImage stored = page.transformed(QTransform().rotate(-90));
    const QString path =
        write(QStringLiteral("scan 周会.JPEG"), FF::withExifOrientation(FF::jpeg(stored), 6));
    const QString text = FTE::extractText(path);
    const QStringList lines = text.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << qPrintable(text);
    EXPECT_TRUE(QString(lines[0]).remove(u' ').contains(u"周五下午三点开会")) << qPrintable(text);
    EXPECT_TRUE(lines[1].contains(u"Budget meeting")) << qPrintable(text);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(FilePicture, APictureWithoutTextIsEmpty) {
    QImage blank(800, 600, QImage::Format_RGB32);
    blank.fill(Qt::white);
    const auto error = errorOf(save(QStringLiteral("blank.png"), blank));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::emptyContent);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("fileExtractEmpty")});
}

TEST_F(FilePicture, AnEngineThatCannotLoadIsLoggedOnceAndGivesNoText) {
    QTemporaryDir noLanguages;
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", QFile::encodeName(noLanguages.path()));
    const QImage page = FF::textImage({QStringLiteral("Budget meeting")}, 800, 40);
    const auto pictureError = errorOf(save(QStringLiteral("text.png"), page));
    const QStringList pictureCodes = log.failureCodes();
    log.clear();
    const QString scan = dir.filePath(QStringLiteral("scan.pdf"));
    FF::writePdf(scan, {{{QStringLiteral("Budget meeting")}, true}});
    const auto pdfError = errorOf(scan);
    qputenv("TESSDATA_PREFIX", saved);
    if (saved.isNull()) qunsetenv("TESSDATA_PREFIX");

    ASSERT_TRUE(pictureError);
    EXPECT_EQ(pictureError->kind(), Kind::emptyContent);
    EXPECT_EQ(pictureCodes,
              (QStringList{QStringLiteral("ocrFailed"), QStringLiteral("fileExtractEmpty")}));
    ASSERT_TRUE(pdfError);
    EXPECT_EQ(pdfError->kind(), Kind::ocrFailed);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("ocrFailed")});
}

TEST_F(FilePicture, PhotosShrinkToTheVisionSizeWithOrientationApplied) {
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(QColor(30, 90, 200));
    const QImage big =
        decoded(FTE::prepareImage(write(QStringLiteral("photo.jpg"), FF::jpeg(photo))));
    EXPECT_EQ(big.size(), QSize(1568, 1176));

    // A small picture keeps its size; the tag 6 turns 400 x 200 into 200 x 400, and the red
    // band on the left comes out on top.
    QImage small(400, 200, QImage::Format_RGB32);
    small.fill(Qt::white);
    QPainter(&small).fillRect(0, 0, 100, 200, Qt::red);
    const QImage turned = decoded(FTE::prepareImage(
        write(QStringLiteral("turned.jpg"), FF::withExifOrientation(FF::jpeg(small, 95), 6))));
    ASSERT_EQ(turned.size(), QSize(200, 400));
    EXPECT_TRUE(isNear(turned.pixelColor(100, 20), Qt::red));
    EXPECT_TRUE(isNear(turned.pixelColor(100, 380), Qt::white));
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(FilePicture, TransparencyBecomesWhite) {
    QImage logo(3136, 1000, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter(&logo).fillRect(0, 0, 1000, 1000, QColor(0, 0, 0, 255));
    const QImage flat = decoded(FTE::prepareImage(save(QStringLiteral("logo.png"), logo)));
    EXPECT_EQ(flat.size(), QSize(1568, 500));
    EXPECT_FALSE(flat.hasAlphaChannel());
    EXPECT_TRUE(isNear(flat.pixelColor(1200, 250), Qt::white));
    EXPECT_TRUE(isNear(flat.pixelColor(200, 250), Qt::black));
}

TEST_F(FilePicture, UndecodablePicturesFailOnBothRoutes) {
    const QString garbage = write(QStringLiteral("garbage.png"), "not a picture at all");
    const QString zero = write(QStringLiteral("zero.jpg"), {});
    const QString heic = write(QStringLiteral("phone.heic"),
                               "\0\0\0\x18"
                               "ftypheic");
    for (const QString& path : {garbage, zero, heic, dir.filePath(QStringLiteral("gone.gif"))}) {
        EXPECT_EQ(errorOf(path)->kind(), Kind::conversionFailed);
        EXPECT_EQ(FF::extractionError([&] { FTE::prepareImage(path); })->kind(),
                  Kind::conversionFailed);
    }
    // A missing file is refused before any decoding.
    EXPECT_EQ(log.failureCodes(), QStringList(6, QStringLiteral("imageDecode")));
}

TEST_F(FilePicture, HugePicturesAreDecodedSmallOrRefused) {
    // A JPEG whose header claims 20000 x 20000 pixels is refused by its header.
    QImage tile(64, 64, QImage::Format_RGB32);
    tile.fill(Qt::gray);
    QByteArray claim = FF::jpeg(tile);
    const qsizetype frame = claim.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    claim[frame + 5] = '\x4E';  // height 0x4E20 = 20000
    claim[frame + 6] = '\x20';
    claim[frame + 7] = '\x4E';  // width
    claim[frame + 8] = '\x20';
    const QString huge = write(QStringLiteral("huge.jpg"), claim);
    EXPECT_EQ(FF::extractionError([&] { FTE::prepareImage(huge); })->kind(), Kind::tooLarge);

    // A PNG of that size cannot be decoded in steps: it is refused, not allocated.
    QImage strip(20000, 1, QImage::Format_Grayscale8);
    strip.fill(0);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(strip.save(&buffer, "PNG"));
    }
    const qsizetype header = png.indexOf("IHDR");
    png.replace(header + 8, 4, QByteArray::fromHex("00004e20"));  // height 20000
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + header), 17);
    png.replace(header + 17, 4,
                QByteArray::fromHex(
                    QByteArray::number(static_cast<qulonglong>(crc), 16).rightJustified(8, '0')));
    const QString path = write(QStringLiteral("huge.png"), png);
    EXPECT_EQ(FF::extractionError([&] { FTE::prepareImage(path); })->kind(), Kind::tooLarge);
}

TEST_F(FilePicture, ACancelledTaskStopsBeforeThePictureIsRead) {
    zorbel::CancellationToken token;
    token.cancel();
    const QString missing = dir.filePath(QStringLiteral("missing.png"));
    EXPECT_THROW(FTE::extractText(missing, token), zorbel::CancelledError);
    EXPECT_THROW(FTE::prepareImage(missing, token), zorbel::CancelledError);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}
