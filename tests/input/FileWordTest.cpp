// Word files: Office Open XML archives read in-process, legacy files through the converter.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "input/FileTextExtractor.h"
#include "support/Errors.h"
#include "testkit/FileExtractionFixture.h"
#include "testkit/FileFixtures.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;
using Kind = zorbel::FileExtractionError::Kind;

namespace {

class FileWord : public zorbel::test::FileExtractionFixture {
protected:
    QString docx(const QString& name, const QByteArray& xml) {
        const QString path = dir.filePath(name);
        FF::writeDocx(path, xml);
        return path;
    }
    // A converter written as a shell script; the file's path is its first argument.
    static FTE::WordConverter script(const QString& body) {
        return {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), body, QStringLiteral("sh")}};
    }
};

}  // namespace

TEST_F(FileWord, DocxParagraphsRunsTabsAndBreaks) {
    const QStringList paragraphs{
        QStringLiteral("<w:r><w:t>周五</w:t></w:r><w:r><w:t xml:space=\"preserve\"> </w:t></w:r>"
                       "<w:r><w:t>review &amp; plan</w:t></w:r>"),
        QStringLiteral("<w:r><w:t>A</w:t><w:tab/><w:t>B</w:t><w:br/><w:t>C</w:t></w:r>"),
        QStringLiteral("<w:r><w:delText>removed</w:delText></w:r>"
                       "<w:r><w:instrText>PAGE</w:instrText><w:t>kept</w:t></w:r>"),
        QStringLiteral("<w:r><w:pict><w:txbxContent><w:p><w:r><w:t>boxed</w:t></w:r></w:p>"
                       "</w:txbxContent></w:pict></w:r>"),
    };
    const QString path = docx(QStringLiteral("Plan.DOCX"), FF::documentXml(paragraphs, true));
    EXPECT_EQ(FTE::extractText(path), u"周五 review & plan\nA\tB\nC\nkept\nboxed\n");
    // An archive named .doc is still read as one.
    const QString renamed =
        docx(QStringLiteral("old name.doc"), FF::documentXml({QStringLiteral("会议 Meeting")}));
    EXPECT_EQ(FTE::extractText(renamed), u"会议 Meeting");
    EXPECT_TRUE(log.failureCodes().isEmpty());

    EXPECT_EQ(errorOf(docx(QStringLiteral("empty.docx"), FF::documentXml({})))->kind(),
              Kind::emptyContent);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("fileExtractEmpty")});
}

TEST_F(FileWord, BrokenArchivesAndBombsAreConversionFailures) {
    // Not a zip at all, a zip header over garbage, an empty document part, XML that is not
    // well formed or declares entities, a document that expands past the limit.
    const QString text = write(QStringLiteral("text.docx"), "just text");
    const QString torn = write(QStringLiteral("torn.docx"),
                               QByteArrayLiteral("PK\x03\x04") + QByteArray(200, '\x07'));
    const QString emptyPart = docx(QStringLiteral("emptypart.docx"), {});
    const QString badXml = docx(QStringLiteral("bad.docx"), "<w:document><w:p>");
    const QString entity =
        docx(QStringLiteral("entity.docx"),
             "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\">]><d>&a;</d>");
    QByteArray bomb = FF::documentXml({QStringLiteral("x")});
    bomb.insert(bomb.indexOf("<w:body>"), QByteArray(65 * 1024 * 1024, ' '));
    const QString bombPath = docx(QStringLiteral("bomb.docx"), bomb);
    ASSERT_LT(QFileInfo(bombPath).size(), 1024 * 1024);

    for (const QString& path : {text, torn, emptyPart, badXml, entity, bombPath}) {
        const auto error = errorOf(path);
        ASSERT_TRUE(error) << qPrintable(path);
        EXPECT_EQ(error->kind(), Kind::conversionFailed) << qPrintable(path);
    }
    EXPECT_EQ(log.failureCodes(), QStringList(6, QStringLiteral("textutilConvert")));
}

TEST_F(FileWord, LegacyDocumentsGoThroughTheConverter) {
    const QString doc = QStringLiteral(ZORBEL_FILE_TEST_DATA "/meeting.doc");
    const QString text = FTE::extractText(doc);
    EXPECT_TRUE(text.contains(u"周五下午三点 项目评审会议")) << qPrintable(text);
    EXPECT_TRUE(text.contains(u"Project review meeting on Friday at 3 pm"));
    EXPECT_TRUE(log.failureCodes().isEmpty());

    // The path reaches the converter as one argument, whatever it holds.
    const QString odd = dir.filePath(QStringLiteral("-周会 \"纪要\" it's $(x).doc"));
    FF::writeFile(odd, "会议 at 10");
    EXPECT_EQ(FTE::extractText(odd, {}, script(QStringLiteral("cat -- \"$1\""))), u"会议 at 10");
}

TEST_F(FileWord, ConverterFailuresAreLoggedWithTheirCodes) {
    const QString doc = write(QStringLiteral("notes.doc"), "text");

    EXPECT_EQ(errorOf(doc, {QStringLiteral("/nonexistent/converter"), {}})->kind(),
              Kind::conversionFailed);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("textutilStart")});
    log.clear();

    // The real converter rejects a file that is not a Word document.
    EXPECT_EQ(errorOf(doc)->kind(), Kind::conversionFailed);
    EXPECT_EQ(errorOf(doc, script(QStringLiteral("echo partial; exit 3")))->kind(),
              Kind::conversionFailed);
    EXPECT_EQ(errorOf(doc, script(QStringLiteral("kill -9 $$")))->kind(), Kind::conversionFailed);
    EXPECT_EQ(log.failureCodes(), QStringList(3, QStringLiteral("textutilConvert")));
    log.clear();

    // Output that is not UTF-8 is no text.
    EXPECT_EQ(errorOf(doc, script(QStringLiteral("printf '\\273\\341'")))->kind(),
              Kind::emptyContent);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("fileExtractEmpty")});
}

TEST_F(FileWord, ACancelledTaskNeverStartsTheConverter) {
    const QString doc = write(QStringLiteral("notes.doc"), "text");
    const QString marker = dir.filePath(QStringLiteral("ran"));
    zorbel::CancellationToken token;
    token.cancel();
    EXPECT_THROW(FTE::extractText(doc, token,
                                  script(QStringLiteral("touch '") + marker + QLatin1Char('\''))),
                 zorbel::CancelledError);
    EXPECT_FALSE(QFile::exists(marker));
}
