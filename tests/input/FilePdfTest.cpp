// PDFs: text layers page by page, OCR of pages without one, and the documents that fail.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "input/FileTextExtractor.h"
#include "support/Errors.h"
#include "testkit/FileExtractionFixture.h"
#include "testkit/FileFixtures.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;

namespace {

class FilePdf : public zorbel::test::FileExtractionFixture {};

QString withoutSpaces(QString text) {
    return text.remove(u' ');
}

}  // namespace

TEST_F(FilePdf, TextLayersAndAScannedPageKeepTheirOrder) {
    const QString path = dir.filePath(QStringLiteral("Report.PDF"));
    FF::writePdf(path, {{{QStringLiteral("第一页 Budget review")}},
                        {{QStringLiteral("Meeting 2024"), QStringLiteral("项目会议")}, true},
                        {{QStringLiteral("Third page"), QStringLiteral("第三页")}}});
    const QString text = FTE::extractText(path);
    const QStringList lines = text.split(u'\n');
    ASSERT_GE(lines.size(), 4) << qPrintable(text);
    // Page texts are trimmed; the scan is recognised between them.
    EXPECT_EQ(lines.first(), u"第一页 Budget review");
    EXPECT_EQ(lines.last(), u"第三页");
    EXPECT_EQ(lines[lines.size() - 2], u"Third page");
    const QString scanned = withoutSpaces(lines.mid(1, lines.size() - 3).join(u'\n'));
    EXPECT_TRUE(scanned.contains(u"Meeting2024")) << qPrintable(scanned);
    EXPECT_TRUE(scanned.contains(u"项目会议")) << qPrintable(scanned);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(FilePdf, TurnedPagesAreRecognisedUpright) {
    // The scan lies on its side in the page; the page's rotation shows it upright.
    const QString flat = dir.filePath(QStringLiteral("flat.pdf"));
    FF::writePdf(flat,
                 {{{QStringLiteral("Board meeting"), QStringLiteral("董事会会议")}, true, -90}});
    QFile file(flat);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString turned =
        write(QStringLiteral("turned.pdf"), FF::withPageRotation(file.readAll(), 90));
    const QString text = withoutSpaces(FTE::extractText(turned));
    EXPECT_TRUE(text.contains(u"Boardmeeting")) << qPrintable(text);
    EXPECT_TRUE(text.contains(u"董事会会议")) << qPrintable(text);
}

TEST_F(FilePdf, ScansWithoutTextFailAndEmptyDocumentsAreEmpty) {
    const QString blank = dir.filePath(QStringLiteral("blank.pdf"));
    FF::writePdf(blank, {{{}, true}});
    EXPECT_EQ(errorOf(blank)->kind(), Kind::ocrFailed);
    EXPECT_TRUE(log.failureCodes().isEmpty());

    // One readable page is enough: the blank scan beside it is dropped.
    const QString mixed = dir.filePath(QStringLiteral("mixed.pdf"));
    FF::writePdf(mixed, {{{}, true}, {{QStringLiteral("only text")}}});
    EXPECT_EQ(FTE::extractText(mixed), u"only text");

    const QString none = write(QStringLiteral("none.pdf"), FF::pdfWithoutPages());
    EXPECT_EQ(errorOf(none)->kind(), Kind::emptyContent);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("fileExtractEmpty")});
}

TEST_F(FilePdf, UnreadableDocumentsFailWithoutALogLine) {
    const QString good = dir.filePath(QStringLiteral("good.pdf"));
    FF::writePdf(good, {{{QStringLiteral("Quarterly planning")}}});
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    const QString encrypted = write(QStringLiteral("locked.pdf"), FF::encryptedPdf());
    const QString zero = write(QStringLiteral("zero.pdf"), {});
    const QString garbage = write(QStringLiteral("garbage.pdf"), "%PDF-1.4 not really");
    const QString folder = dir.filePath(QStringLiteral("x.pdf"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("x.pdf")));
    for (const QString& path :
         {encrypted, zero, garbage, folder, dir.filePath(QStringLiteral("gone.pdf"))}) {
        const auto error = errorOf(path);
        ASSERT_TRUE(error) << qPrintable(path);
        EXPECT_EQ(error->kind(), Kind::conversionFailed) << qPrintable(path);
    }
    EXPECT_TRUE(log.failureCodes().isEmpty());

    // A download cut short ends in an error or in what was readable, never in a crash.
    for (const qsizetype length : {bytes.size() / 2, bytes.size() - 20}) {
        const QString truncated = write(QStringLiteral("cut.pdf"), bytes.left(length));
        try {
            EXPECT_EQ(FTE::extractText(truncated), u"Quarterly planning") << length;
        } catch (const zorbel::FileExtractionError& error) {
            EXPECT_NE(error.kind(), Kind::unsupportedType) << length;
        }
    }
}

TEST_F(FilePdf, EveryPageOfALongDocumentIsReadBeforeTruncation) {
    QList<FF::PdfPage> pages;
    for (int i = 1; i <= 500; ++i) {
        pages.append({{QStringLiteral("Page %1 of the annual plan, 第%1页").arg(i)}});
    }
    const QString path = dir.filePath(QStringLiteral("long.pdf"));
    FF::writePdf(path, pages);
    const QString text = FTE::extractText(path);
    EXPECT_TRUE(text.startsWith(u"Page 1 of the annual plan, 第1页\nPage 2 "));
    EXPECT_LE(text.size(), FTE::maxChars);
    EXPECT_GT(text.size(), FTE::maxChars - 40);
    EXPECT_TRUE(text.endsWith(u'\n'));
}

TEST_F(FilePdf, ACancelledTaskStopsBeforeTheFirstPage) {
    const QString path = dir.filePath(QStringLiteral("plan.pdf"));
    FF::writePdf(path, {{{QStringLiteral("never read")}}});
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(FTE::extractText(path, token), zorbel::CancelledError);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}
