// PDFs written by Qt and pictures: text layers and OCR of pages without one, thumbnails for OCR,
// JPEGs for the model. Broken and hand-made ones are in the golden folder (FileTextRoutesTest).

#include <gtest/gtest.h>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>

#include "input/PdfTextReader.h"
#include "input/TextRecognizer.h"
#include "testkit/FileExtractionFixture.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;
using namespace Qt::Literals::StringLiterals;

namespace {

class FileOcr : public zorbel::test::FileExtractionFixture {
protected:
    QString pdf(const QString& name, const QList<FF::PdfPage>& pages) {
        FF::writePdf(dir.filePath(name), pages);
        return dir.filePath(name);
    }
    /// The JPEG prepared from the picture at `path`, decoded again.
    static QImage prepared(const QString& path) {
        const zorbel::PreparedImage jpeg = FTE::prepareImage(path);
        EXPECT_EQ(jpeg.mimeType, u"image/jpeg");
        return QImage::fromData(jpeg.data, "JPG");
    }
};

QString withoutSpaces(QString text) {
    return text.remove(u' ');
}

bool isNear(QColor actual, QColor expected) {
    return qAbs(actual.red() - expected.red()) < 40 &&
           qAbs(actual.green() - expected.green()) < 40 &&
           qAbs(actual.blue() - expected.blue()) < 40;
}

}  // namespace

// Page texts are trimmed, a scan is recognised between them and a blank scan is dropped; only a
// document of blank scans fails.
TEST_F(FileOcr, TextLayersAndScannedPagesKeepTheirOrder) {
    const QString text =
        FTE::extractText(pdf(u"Report.PDF"_s, {{{u"第一页 Budget review"_s}},
                                               {{u"Meeting 2024"_s, u"项目会议"_s}, true},
                                               {{u"Third page"_s, u"第三页"_s}}}));
    const QStringList lines = text.split(u'\n');
    ASSERT_GE(lines.size(), 4) << qPrintable(text);
    EXPECT_EQ(lines.first(), u"第一页 Budget review");
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{u"Third page"_s, u"第三页"_s}));
    const QString scanned = withoutSpaces(lines.mid(1, lines.size() - 3).join(u'\n'));
    EXPECT_TRUE(scanned.contains(u"Meeting2024")) << qPrintable(scanned);
    EXPECT_TRUE(scanned.contains(u"项目会议")) << qPrintable(scanned);
    EXPECT_TRUE(log.failureCodes().isEmpty());
    EXPECT_EQ(FTE::extractText(pdf(u"mixed.pdf"_s, {{{}, true}, {{u"only text"_s}}})),
              u"only text");
    EXPECT_EQ(errorOf(pdf(u"blank.pdf"_s, {{{}, true}}))->kind(), Kind::ocrFailed);
}

TEST_F(FileOcr, TurnedPagesAreRecognisedUpright) {
    // The scan lies on its side in the page; the page's rotation shows it upright.
    const QString flat = pdf(u"flat.pdf"_s, {{{u"Board meeting"_s, u"董事会会议"_s}, true, -90}});
    const QString turned = write(u"turned.pdf"_s, FF::withPageRotation(FF::readFile(flat), 90));
    const QString text = withoutSpaces(FTE::extractText(turned));
    EXPECT_TRUE(text.contains(u"Boardmeeting")) << qPrintable(text);
    EXPECT_TRUE(text.contains(u"董事会会议")) << qPrintable(text);
}

TEST_F(FileOcr, ScannedPagesPastTheCapAreSkippedAndSaid) {
    const QString path = pdf(
        u"scans.pdf"_s, {{{u"第一页"_s}}, {{}, true}, {{u"Budget"_s}, true}, {{u"最后一页"_s}}});
    zorbel::TextRecognizer recognizer;
    EXPECT_EQ(zorbel::PdfTextReader::read(path, {}, recognizer, 1), u"第一页\n最后一页");
    EXPECT_EQ(log.failureCodes(), QStringList{u"ocrPageLimit"_s});
}

TEST_F(FileOcr, RecognisesChineseAndEnglishInAnUprightThumbnail) {
    const QImage page =
        FF::textImage({u"周五下午三点开会"_s, u"Budget meeting at 3 pm"_s}, 1400, 56);
    // Stored turned a quarter to the left, with the tag that turns it back.
    const QImage stored = page.transformed(QTransform().rotate(-90));
    const QString text =
        FTE::extractText(write(u"scan 周会.JPEG"_s, FF::withExifOrientation(FF::jpeg(stored), 6)));
    const QStringList lines = text.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << qPrintable(text);
    EXPECT_TRUE(withoutSpaces(lines[0]).contains(u"周五下午三点开会")) << qPrintable(text);
    EXPECT_TRUE(lines[1].contains(u"Budget meeting")) << qPrintable(text);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(FileOcr, AnEngineThatCannotLoadIsLoggedOnceAndGivesNoText) {
    QTemporaryDir noLanguages;
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", QFile::encodeName(noLanguages.path()));
    const QString picture = dir.filePath(u"text.png"_s);
    FF::textImage({u"Budget meeting"_s}, 800, 40).save(picture);
    const auto pictureError = errorOf(picture);
    const QStringList pictureCodes = log.failureCodes();
    log.clear();
    const auto pdfError = errorOf(pdf(u"scan.pdf"_s, {{{u"Budget meeting"_s}, true}}));
    qputenv("TESSDATA_PREFIX", saved);
    if (saved.isNull()) qunsetenv("TESSDATA_PREFIX");

    ASSERT_TRUE(pictureError && pdfError);
    EXPECT_EQ(pictureError->kind(), Kind::emptyContent);
    EXPECT_EQ(pictureCodes, (QStringList{u"ocrFailed"_s, u"fileExtractEmpty"_s}));
    EXPECT_EQ(pdfError->kind(), Kind::ocrFailed);
    EXPECT_EQ(log.failureCodes(), QStringList{u"ocrFailed"_s});
}

TEST_F(FileOcr, PhotosShrinkToTheVisionSizeWithOrientationAndTransparencyApplied) {
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(QColor(30, 90, 200));
    EXPECT_EQ(prepared(write(u"photo.jpg"_s, FF::jpeg(photo))).size(), QSize(1568, 1176));

    // A small picture keeps its size; the tag 6 turns 400 x 200 into 200 x 400, and the red
    // band on the left comes out on top.
    QImage small(400, 200, QImage::Format_RGB32);
    small.fill(Qt::white);
    QPainter(&small).fillRect(0, 0, 100, 200, Qt::red);
    const QImage turned =
        prepared(write(u"turned.jpg"_s, FF::withExifOrientation(FF::jpeg(small, 95), 6)));
    ASSERT_EQ(turned.size(), QSize(200, 400));
    EXPECT_TRUE(isNear(turned.pixelColor(100, 20), Qt::red));
    EXPECT_TRUE(isNear(turned.pixelColor(100, 380), Qt::white));

    QImage logo(3136, 1000, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter(&logo).fillRect(0, 0, 1000, 1000, QColor(0, 0, 0, 255));
    ASSERT_TRUE(logo.save(dir.filePath(u"logo.png"_s)));
    const QImage flat = prepared(dir.filePath(u"logo.png"_s));
    EXPECT_EQ(flat.size(), QSize(1568, 500));
    EXPECT_FALSE(flat.hasAlphaChannel());
    EXPECT_TRUE(isNear(flat.pixelColor(1200, 250), Qt::white));
    EXPECT_TRUE(isNear(flat.pixelColor(200, 250), Qt::black));
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

// The golden folder's pictures that fail on the text route fail on the picture route too; a
// missing file is refused before any decoding.
TEST_F(FileOcr, UndecodableAndHugePicturesFailOnThePictureRoute) {
    const std::pair<const char*, Kind> cases[] = {
        {"garbage.png", Kind::conversionFailed}, {"empty picture.jpg", Kind::conversionFailed},
        {"phone.heic", Kind::conversionFailed},  {"gone.gif", Kind::conversionFailed},
        {"huge jpeg claim.jpg", Kind::tooLarge}, {"huge png claim.png", Kind::tooLarge}};
    for (const auto& [name, kind] : cases) {
        const QString path = QStringLiteral(ZORBEL_FILE_TEST_DATA "/") + QLatin1String(name);
        const auto error =
            zorbel::test::thrown<zorbel::FileExtractionError>([&] { FTE::prepareImage(path); });
        EXPECT_EQ(error.value().kind(), kind) << name;
    }
    EXPECT_EQ(log.failureCodes(),
              QStringList(3, u"imageDecode"_s) + QStringList(2, u"imageTooLarge"_s));
}
