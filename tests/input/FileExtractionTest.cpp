// File extraction: every kind of file the extractor is given, as a golden folder
// (data/make-inputs.sh); what a folder cannot hold: a cut-back long text, odd paths, hostile
// files and converters, cancelled tasks, the extractor's own threads; and PDFs written by Qt and
// pictures: text layers and OCR of pages without one, thumbnails for OCR, JPEGs for the model.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTransform>
#include <numeric>
#include <thread>

#include "core/FileExtractionError.h"
#include "input/DocumentModule.h"
#include "input/FileTextExtractor.h"
#include "input/PdfTextReader.h"
#include "input/SystemFileExtractor.h"
#include "input/TextRecognizer.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"
#include "testkit/FileFixtures.h"
#include "testkit/GoldenFolder.h"
#include "testkit/LogCapture.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::spinUntil;

namespace {

/// A test of file extraction: its own folder for the inputs and the product log lines.
class FileTextRoutes : public ::testing::Test {
protected:
    /// Writes `bytes` to the file `name` in the test's folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) {
        FF::writeFile(dir.filePath(name), bytes);
        return dir.filePath(name);
    }
    QString pdf(const QString& name, const QList<FF::PdfPage>& pages) {
        FF::writePdf(dir.filePath(name), pages);
        return dir.filePath(name);
    }
    /// The FileExtractionError that extracting the text of `path` throws, or nothing.
    static std::optional<zorbel::FileExtractionError> errorOf(
        const QString& path, const FTE::WordConverter& converter = FTE::WordConverter::standard()) {
        return zorbel::test::thrown<zorbel::FileExtractionError>(
            [&] { FTE::extractText(path, {}, converter); });
    }
    /// The JPEG prepared from the picture at `path`, decoded again.
    static QImage prepared(const QString& path) {
        const zorbel::PreparedImage jpeg = FTE::prepareImage(path);
        EXPECT_EQ(jpeg.mimeType, u"image/jpeg");
        return QImage::fromData(jpeg.data, "JPG");
    }

    QTemporaryDir dir;
    zorbel::test::LogCapture log;
};
class FileOcr : public FileTextRoutes {};

// The text the extractor gives, or the failure the user sees; for a picture also the JPEG the
// model would be sent, or its failure; and the failure codes logged.
QByteArray extractionView(const QString& path) {
    zorbel::test::LogCapture log;
    QJsonObject view;
    const auto attempt = [&](const char* key, const char* errorKey, const auto& run) {
        try {
            view[QLatin1String(key)] = run();
        } catch (const zorbel::FileExtractionError& error) {
            view[QLatin1String(errorKey)] = error.userFacingFailure().logCode();
        }
    };
    attempt("text", "error", [&] { return FTE::extractText(path); });
    if (FTE::isImageFile(path)) {
        attempt("picture", "picture error", [&] {
            const QImage jpeg = QImage::fromData(FTE::prepareImage(path).data, "JPG");
            return u"JPEG %1x%2"_s.arg(jpeg.width()).arg(jpeg.height());
        });
    }
    if (!log.failureCodes().isEmpty()) {
        view["log"_L1] = QJsonArray::fromStringList(log.failureCodes());
    }
    return QJsonDocument(view).toJson();
}

// A converter written as a shell script, ended after `timeoutMs`.
FTE::WordConverter script(const QString& body, int timeoutMs = 300) {
    return {u"/bin/sh"_s, {u"-c"_s, body}, timeoutMs};
}

QString withoutSpaces(QString text) {
    return text.remove(u' ');
}

// The characters to change, insert or delete to turn `from` into `to`.
qsizetype editDistance(const QString& from, const QString& to) {
    std::vector<qsizetype> row(to.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (qsizetype i = 1; i <= from.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= to.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (from[i - 1] == to[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[to.size()];
}

bool isNear(QColor actual, QColor expected) {
    return qAbs(actual.red() - expected.red()) < 40 &&
           qAbs(actual.green() - expected.green()) < 40 &&
           qAbs(actual.blue() - expected.blue()) < 40;
}

}  // namespace

// Word files saved by LibreOffice and legacy ones through antiword, broken archives, plain
// text in several encodings, unsupported types, PDFs that cannot be read, and pictures on both
// routes: undecodable ones, and headers that claim too many pixels.
TEST(FileExtractionCorpus, EveryFileGivesItsExpectedText) {
    zorbel::test::GoldenFolder{
        QStringLiteral(ZORBEL_FILE_TEST_DATA),
        {u"*.doc"_s, u"*.docx"_s, u"*.txt"_s, u"*.md"_s, u"*.rtf"_s, u"*.html"_s, u"*.pages"_s,
         u"*.xlsx"_s, u"README"_s, u"*.pdf"_s, u"*.png"_s, u"*.jpg"_s, u"*.heic"_s},
        u".json"_s,
        35}
        .check(extractionView);
}

TEST_F(FileTextRoutes, LongTextIsCutBackToTheLastNewline) {
    QString text(20000, u'字');
    text[14990] = u'\n';
    EXPECT_EQ(FTE::extractText(write(u"long.txt"_s, text.toUtf8())), text.left(14991));
}

TEST_F(FileTextRoutes, TheConverterGetsThePathAsOneArgumentAndNeverStartsWhenCancelled) {
    const QString odd = write(u"-周会 \"纪要\" it's $(x).doc"_s, "会议 at 10");
    const QString marker = dir.filePath(u"ran"_s);
    const FTE::WordConverter echo{u"/bin/sh"_s,
                                  {u"-c"_s, u"touch \"$0\"; cat -- \"$1\""_s, marker}};
    EXPECT_EQ(FTE::extractText(odd, {}, echo), u"会议 at 10");
    ASSERT_TRUE(QFile::remove(marker));

    zorbel::CancellationToken cancelled;
    cancelled.cancel();
    for (const QString& path : {odd, dir.filePath(u"plan.pdf"_s), dir.filePath(u"gone.png"_s)}) {
        EXPECT_THROW(FTE::extractText(path, cancelled, echo), zorbel::CancelledError);
    }
    EXPECT_THROW(FTE::prepareImage(dir.filePath(u"gone.png"_s), cancelled), zorbel::CancelledError);
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(FileTextRoutes, AreRefusedQuicklyWithTypedErrors) {
    const QString fifo = dir.filePath(u"x.txt"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.pdf"_s));
    // A small archive whose document part expands past its limit.
    QByteArray bomb = FF::documentXml({u"x"_s});
    bomb.insert(bomb.indexOf("<w:body>"), QByteArray(65 * 1024 * 1024, ' '));
    const QString bombPath = dir.filePath(u"bomb.docx"_s);
    FF::writeDocx(bombPath, bomb);
    ASSERT_LT(QFileInfo(bombPath).size(), 1024 * 1024);
    const QString doc = write(u"notes.doc"_s, "text");
    struct Case {
        QString path;
        FTE::WordConverter converter;
        Kind kind;
        QStringList codes;
        int withinMs = 2000;
    };
    // Reading the archive up to its limit takes a while in a debug or sanitizer build on a busy
    // machine; what counts is that it ends there.
    const QList<Case> cases{
        {fifo, FTE::WordConverter::standard(), Kind::conversionFailed, {}},
        {dir.filePath(u"folder.pdf"_s), FTE::WordConverter::standard(), Kind::conversionFailed, {}},
        {dir.filePath(u"gone.txt"_s), FTE::WordConverter::standard(), Kind::conversionFailed, {}},
        {bombPath,
         FTE::WordConverter::standard(),
         Kind::conversionFailed,
         {u"textutilConvert"_s},
         10000},
        {doc, {u"/nonexistent/converter"_s, {}}, Kind::conversionFailed, {u"textutilStart"_s}},
        {doc, script(u"exec sleep 5"_s), Kind::timedOut, {u"textutilTimeout"_s}},
        // Past its output cap the converter is ended, not at its time-out (the kind says which;
        // reading up to the cap is slow in a sanitizer build on a busy machine).
        {doc, script(u"exec yes 会议"_s, 30000), Kind::tooLarge, {u"textutilOutputLimit"_s}, 15000},
        {doc, script(u"echo partial; exit 3"_s), Kind::conversionFailed, {u"textutilConvert"_s}},
        {doc, script(u"kill -9 $$"_s), Kind::conversionFailed, {u"textutilConvert"_s}},
        // Output that is not UTF-8 is no text.
        {doc, script(u"printf '\\273\\341'"_s), Kind::emptyContent, {u"fileExtractEmpty"_s}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " " + c.converter.arguments.join(u' ').toStdString());
        log.clear();
        QElapsedTimer timer;
        timer.start();
        const auto error = errorOf(c.path, c.converter);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), c.kind);
        EXPECT_EQ(log.failureCodes(), c.codes);
        EXPECT_LT(timer.elapsed(), c.withinMs);
    }
}

TEST_F(FileTextRoutes, TheExtractorWorksInItsPoolAndKillsACancelledConverter) {
    const QString started = dir.filePath(u"started"_s);
    const QString release = dir.filePath(u"release"_s);
    const QString done = dir.filePath(u"done"_s);
    // The converter announces itself, waits for the test to let it go, then prints its text.
    zorbel::SystemFileExtractor extractor(
        zorbel::linkedFileReading(),
        {u"/bin/sh"_s,
         {u"-c"_s,
          u"touch \"$0\"; while [ ! -e \"$1\" ]; do sleep 0.01; done; echo converted; touch \"$2\""_s,
          started, release, done}});
    // Text, pictures and errors arrive from the pool.
    EXPECT_EQ(await(extractor.extractText(write(u"notes.txt"_s, "周三 9:30 站会"), {}, {})),
              u"周三 9:30 站会");
    const QString jpg = write(u"photo.jpg"_s, FF::jpeg(FF::textImage({}, 20, 10)));
    EXPECT_EQ(await(extractor.extractImage(jpg, {})).mimeType, u"image/jpeg");
    EXPECT_THROW(await(extractor.extractText(dir.filePath(u"budget.xlsx"_s), {}, {})),
                 zorbel::FileExtractionError);
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(await(extractor.extractImage(jpg, token)), zorbel::CancelledError);
    token = {};
    log.clear();
    zorbel::test::Running converting(
        extractor.extractText(write(u"minutes.doc"_s, "text"), token, {}));
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(started); }));
    token.cancel();
    EXPECT_TRUE(converting.endsWith<zorbel::CancelledError>());
    FF::writeFile(release, {});
    // Killed: it never gets to its end.
    EXPECT_FALSE(spinUntil([&] { return QFile::exists(done); }, 300));
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

// The programs' road: the readers in the module, loaded on the first file. A missing module is
// a failed conversion, said in the log, and found once it is there.
TEST_F(FileTextRoutes, TheDocumentModuleIsLoadedOnTheFirstFile) {
    const QString modulePath = dir.filePath(u"documents.so"_s);
    zorbel::SystemFileExtractor extractor(std::make_shared<zorbel::DocumentModule>(modulePath));
    const QString notes = write(u"notes.txt"_s, "周三 9:30 站会");
    const auto error = zorbel::test::thrown<zorbel::FileExtractionError>(
        [&] { await(extractor.extractText(notes, {}, {})); });
    EXPECT_EQ(error.value().kind(), Kind::conversionFailed);
    EXPECT_EQ(log.failureCodes(), QStringList{u"documentModule"_s});
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZORBEL_DOCUMENT_MODULE_FILE), modulePath));
    EXPECT_EQ(await(extractor.extractText(notes, {}, {})), u"周三 9:30 站会");
}

// Page texts are trimmed, a scan is recognised between them and a blank scan is dropped; scans
// past the cap are skipped and said; only a document of blank scans fails.
TEST_F(FileOcr, TextLayersAndScannedPagesKeepTheirOrder) {
    const QString path = pdf(u"Report.PDF"_s, {{{u"第一页 Budget review"_s}},
                                               {{}, true},
                                               {{u"Meeting 2024"_s, u"项目会议"_s}, true},
                                               {{u"Third page"_s, u"第三页"_s}}});
    const QString text = FTE::extractText(path);
    const QStringList lines = text.split(u'\n');
    ASSERT_GE(lines.size(), 4) << qPrintable(text);
    EXPECT_EQ(lines.first(), u"第一页 Budget review");
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{u"Third page"_s, u"第三页"_s}));
    const QString scanned = withoutSpaces(lines.mid(1, lines.size() - 3).join(u'\n'));
    EXPECT_TRUE(scanned.contains(u"Meeting2024")) << qPrintable(scanned);
    EXPECT_TRUE(scanned.contains(u"项目会议")) << qPrintable(scanned);
    EXPECT_TRUE(log.failureCodes().isEmpty());
    EXPECT_EQ(zorbel::PdfTextReader::read(path, {}, {}, 1),
              u"第一页 Budget review\nThird page\n第三页");
    EXPECT_EQ(log.failureCodes(), QStringList{u"ocrPageLimit"_s});
    EXPECT_EQ(errorOf(pdf(u"blank.pdf"_s, {{{}, true}}))->kind(), Kind::ocrFailed);
}

// Scans are recognised side by side and come back in page order, a text layer between them;
// the progress reaches the caller's thread and counts up to the pages to recognise, a blank
// one among them.
TEST_F(FileOcr, ScannedPagesComeBackInOrderAndTellTheirProgress) {
    const QString path = pdf(u"scans.pdf"_s, {{{u"Page one 第一页"_s}, true},
                                              {{u"Text layer page"_s}},
                                              {{}, true},
                                              {{u"Page three 第三页"_s}, true}});
    zorbel::SystemFileExtractor extractor(
        std::make_shared<zorbel::DocumentModule>(QStringLiteral(ZORBEL_DOCUMENT_MODULE_FILE)));
    QList<std::pair<int, int>> told;
    bool onCallerThread = true;
    const QString text =
        withoutSpaces(await(extractor.extractText(path, {}, [&](int done, int total) {
            told.append({done, total});
            onCallerThread = onCallerThread && QThread::currentThread() == qApp->thread();
        })));
    const qsizetype first = text.indexOf(u"Pageone第一页");
    const qsizetype layer = text.indexOf(u"Textlayerpage");
    const qsizetype last = text.indexOf(u"Pagethree第三页");
    EXPECT_TRUE(first >= 0 && first < layer && layer < last) << qPrintable(text);
    EXPECT_TRUE(onCallerThread);
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.first(), std::pair(0, 3));
    EXPECT_EQ(told.last(), std::pair(3, 3));
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
}

// A cancel stops the page being recognised instead of waiting for its end.
TEST_F(FileOcr, ACancelStopsThePageBeingRecognised) {
    QStringList lines;
    for (int i = 0; i < 25; ++i)
        lines.append(u"第%1项 项目评审会议 Project review, room 3-%1"_s.arg(i));
    const QString path = pdf(u"dense.pdf"_s, {{lines, true}});
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(FTE::extractText(path).contains(u"review"));
    const qint64 wholePage = timer.restart();

    zorbel::CancellationToken token;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(wholePage / 4));
        token.cancel();
    });
    EXPECT_THROW(FTE::extractText(path, token), zorbel::CancelledError);
    canceller.join();
    // Without the stop between words it takes the whole page; the margin is for a busy machine.
    EXPECT_LT(timer.elapsed(), wholePage * 3 / 4) << "a whole page took " << wholePage << " ms";
}

// Notices written for these tests, scanned slightly askew and compressed hard: the recognised
// text keeps its character error rate (spaces aside; they were 0.045 and 0, the Chinese one from
// full-width punctuation read as ASCII).
TEST_F(FileOcr, ScansKeepTheirCharacterErrorRate) {
    struct Case {
        const char* file;
        double maxRate;
    };
    for (const Case& c : {Case{"notice-zh.txt", 0.06}, Case{"notice-en.txt", 0.02}}) {
        const QString truth = QString::fromUtf8(
            FF::readFile(QStringLiteral(ZORBEL_SCAN_TEST_DATA "/") + QLatin1String(c.file)));
        const QImage askew = FF::textImage(truth.split(u'\n', Qt::SkipEmptyParts), 1600, 30)
                                 .convertToFormat(QImage::Format_ARGB32)
                                 .transformed(QTransform().rotate(0.8), Qt::SmoothTransformation);
        QImage page(askew.size(), QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter(&page).drawImage(0, 0, askew);
        const QString text = FTE::extractText(write(u"scan.jpg"_s, FF::jpeg(page, 40)));
        const QString expected = withoutSpaces(truth).remove(u'\n');
        const double rate =
            double(editDistance(expected, withoutSpaces(text).remove(u'\n'))) / expected.size();
        std::printf("%s: character error rate %.3f\n", c.file, rate);
        EXPECT_LE(rate, c.maxRate) << c.file << "\n" << qPrintable(text);
    }
}

TEST_F(FileOcr, TurnedScansAreRecognisedUpright) {
    // The scan lies on its side in the page; the page's rotation shows it upright.
    const QString flat = pdf(u"flat.pdf"_s, {{{u"Board meeting"_s, u"董事会会议"_s}, true, -90}});
    const QString turned = write(u"turned.pdf"_s, FF::withPageRotation(FF::readFile(flat), 90));
    const QString board = withoutSpaces(FTE::extractText(turned));
    EXPECT_TRUE(board.contains(u"Boardmeeting")) << qPrintable(board);
    EXPECT_TRUE(board.contains(u"董事会会议")) << qPrintable(board);

    // A picture's thumbnail for OCR is upright too.
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
