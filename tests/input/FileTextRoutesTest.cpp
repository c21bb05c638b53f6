// The extension table, plain text as strict UTF-8, the empty rule and truncation.

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

#include "input/FileTextExtractor.h"
#include "testkit/FileExtractionFixture.h"
#include "testkit/FileFixtures.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;

namespace {

class FileTextRoutes : public zorbel::test::FileExtractionFixture {};

}  // namespace

TEST_F(FileTextRoutes, ExtensionsIgnoreCaseAndUnknownOnesAreRefused) {
    const QString text = QStringLiteral("明天 10:00 开会\n  agenda  \n");
    EXPECT_EQ(FTE::extractText(write(QStringLiteral("notes.MD"), text.toUtf8())), text);
    for (const char* name : {"a.txt", "a.Markdown", "a.rtf", "a.HTML"}) {
        EXPECT_EQ(FTE::extractText(write(QLatin1String(name), "{\\rtf1 x}")), u"{\\rtf1 x}")
            << name;
    }
    EXPECT_TRUE(log.failureCodes().isEmpty());

    for (const char* name : {"plan.pages", "budget.XLSX", "README"}) {
        const auto error = errorOf(write(QLatin1String(name), "text"));
        ASSERT_TRUE(error) << name;
        EXPECT_EQ(error->kind(), Kind::unsupportedType);
        EXPECT_EQ(error->extension(), FTE::lowerExtension(QLatin1String(name)));
    }
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("x.XLSX")))->extension(), u"xlsx");
    EXPECT_EQ(log.failureCodes(), QStringList(4, QStringLiteral("unsupportedFile")));
}

TEST_F(FileTextRoutes, PlainTextIsStrictUtf8AndNeverTrimmed) {
    // Only spaces is still text; a byte-order mark is not part of it.
    EXPECT_EQ(FTE::extractText(write(QStringLiteral("spaces.txt"), "   ")), u"   ");
    EXPECT_EQ(FTE::extractText(write(QStringLiteral("bom.txt"), "\xEF\xBB\xBFhi")), u"hi");

    // "会议" in GBK, UTF-16 with and without a mark; a byte neither UTF-8 nor GB18030, NULs.
    EXPECT_EQ(FTE::extractText(write(QStringLiteral("gbk.txt"), "\xBB\xE1\xD2\xE9")), u"会议");
    EXPECT_EQ(FTE::extractText(
                  write(QStringLiteral("le.txt"), QByteArray("\xFF\xFE\x1A\x4F\xAE\x8B", 6))),
              u"会议");
    EXPECT_EQ(FTE::extractText(write(QStringLiteral("be.txt"), QByteArray("\x00"
                                                                          "9\x00:\x00"
                                                                          "3",
                                                                          6))),
              u"9:3");
    for (const QByteArray& bytes : {QByteArray("a\x80z"), QByteArray("ab\0\0\0cd", 7)}) {
        const auto error = errorOf(write(QStringLiteral("gbk.txt"), bytes));
        ASSERT_TRUE(error) << bytes.toHex().constData();
        EXPECT_EQ(error->kind(), Kind::conversionFailed);
    }
    // A deleted file and a folder named like a text file cannot be read.
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("gone.txt")))->kind(), Kind::conversionFailed);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.txt")));
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("folder.txt")))->kind(), Kind::conversionFailed);
    // Read errors are not logged.
    EXPECT_TRUE(log.failureCodes().isEmpty());

    EXPECT_EQ(errorOf(write(QStringLiteral("empty.txt"), {}))->kind(), Kind::emptyContent);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("fileExtractEmpty")});
}

TEST_F(FileTextRoutes, LongTextIsCutBackToTheLastNewline) {
    QString text(20000, u'字');
    text[14990] = u'\n';
    const QString cut = FTE::extractText(write(QStringLiteral("long.txt"), text.toUtf8()));
    EXPECT_EQ(cut, text.left(14991));
    const QString plain(20000, u'x');
    EXPECT_EQ(FTE::extractText(write(QStringLiteral("plain.txt"), plain.toUtf8())).size(),
              FTE::maxChars);
}

TEST_F(FileTextRoutes, NamesWithSpacesQuotesAndChineseAreReadAsIs) {
    const QString name = QStringLiteral("周会 \"纪要\" it's $HOME;`x`.txt");
    EXPECT_EQ(FTE::extractText(write(name, "会议纪要")), u"会议纪要");
}
