// Every kind of file the extractor is given, as a golden folder (data/make-inputs.sh); what a
// folder cannot hold: a cut-back long text, odd paths, hostile files and converters, cancelled
// tasks; and the extractor that runs all this on its own threads.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "input/SystemFileExtractor.h"
#include "support/Errors.h"
#include "testkit/FileExtractionFixture.h"
#include "testkit/GoldenFolder.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::spinUntil;

namespace {

class FileTextRoutes : public zorbel::test::FileExtractionFixture {};

// The text the extractor gives, or the failure the user sees, and the failure codes logged.
QByteArray extractionView(const QString& path) {
    zorbel::test::LogCapture log;
    QJsonObject view;
    try {
        view["text"_L1] = FTE::extractText(path);
    } catch (const zorbel::FileExtractionError& error) {
        view["error"_L1] = error.userFacingFailure().logCode();
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

}  // namespace

// Word files saved by LibreOffice and legacy ones through antiword, broken archives, plain
// text in several encodings, unsupported types, PDFs and pictures that cannot be read.
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
    };
    const QList<Case> cases{
        {fifo, FTE::WordConverter::standard(), Kind::conversionFailed, {}},
        {dir.filePath(u"folder.pdf"_s), FTE::WordConverter::standard(), Kind::conversionFailed, {}},
        {dir.filePath(u"gone.txt"_s), FTE::WordConverter::standard(), Kind::conversionFailed, {}},
        {bombPath, FTE::WordConverter::standard(), Kind::conversionFailed, {u"textutilConvert"_s}},
        {doc, {u"/nonexistent/converter"_s, {}}, Kind::conversionFailed, {u"textutilStart"_s}},
        {doc, script(u"exec sleep 5"_s), Kind::timedOut, {u"textutilTimeout"_s}},
        // Past its output cap the converter is ended, long before its time-out.
        {doc, script(u"exec yes 会议"_s, 5000), Kind::tooLarge, {u"textutilOutputLimit"_s}},
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
        EXPECT_LT(timer.elapsed(), 2000);
    }
}

TEST_F(FileTextRoutes, TheExtractorWorksInItsPoolAndKillsACancelledConverter) {
    const QString started = dir.filePath(u"started"_s);
    const QString release = dir.filePath(u"release"_s);
    const QString done = dir.filePath(u"done"_s);
    // The converter announces itself, waits for the test to let it go, then prints its text.
    zorbel::SystemFileExtractor extractor({u"/bin/sh"_s,
                                           {u"-c"_s,
                                            u"touch \"$0\"; while [ ! -e \"$1\" ]; do sleep 0.01; "
                                            "done; echo converted; touch \"$2\""_s,
                                            started, release, done}});
    // Text, pictures and errors arrive from the pool.
    EXPECT_EQ(await(extractor.extractText(write(u"notes.txt"_s, "周三 9:30 站会"), {})),
              u"周三 9:30 站会");
    const QString jpg = write(u"photo.jpg"_s, FF::jpeg(FF::textImage({}, 20, 10)));
    EXPECT_EQ(await(extractor.extractImage(jpg, {})).mimeType, u"image/jpeg");
    EXPECT_THROW(await(extractor.extractText(dir.filePath(u"budget.xlsx"_s), {})),
                 zorbel::FileExtractionError);
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(await(extractor.extractImage(jpg, token)), zorbel::CancelledError);
    token = {};
    log.clear();
    zorbel::test::Running converting(extractor.extractText(write(u"minutes.doc"_s, "text"), token));
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(started); }));
    token.cancel();
    EXPECT_TRUE(converting.endsWith<zorbel::CancelledError>());
    FF::writeFile(release, {});
    // Killed: it never gets to its end.
    EXPECT_FALSE(spinUntil([&] { return QFile::exists(done); }, 300));
    EXPECT_TRUE(log.failureCodes().isEmpty());
}
