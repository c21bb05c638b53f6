#include <gtest/gtest.h>

#include "core/FileTextLimits.h"

namespace FTE = zorbel::FileTextExtractor;

TEST(FileTextLimits, PictureExtensionsIgnoreCase) {
    const std::pair<const char*, bool> rows[] = {
        {"/home/a/photo.JPG", true}, {"scan.Tif", true},        {"a.b/c.webp", true},
        {"notes.pdf", false},        {"/home/a/README", false}, {"/home/a.png/README", false},
    };
    for (const auto& [path, picture] : rows) {
        EXPECT_EQ(FTE::isImageFile(QString::fromUtf8(path)), picture) << path;
    }
}

TEST(FileTextLimits, TruncationCutsBackToTheLastNewline) {
    // The last newline within the first 15000 characters stands ten characters before the limit.
    QString text(20000, u'a');
    text[14990] = u'\n';
    text[100] = u'\n';
    EXPECT_EQ(FTE::truncateToLimit(text), text.left(14991));

    const QString plain(20000, u'b');
    EXPECT_EQ(FTE::truncateToLimit(plain), plain.left(15000));
    const QString exact(15000, u'c');
    EXPECT_EQ(FTE::truncateToLimit(exact), exact);
    EXPECT_EQ(FTE::truncateToLimit(QString()), QString());

    // A newline just past the limit does not count.
    QString after(15001, u'd');
    after[15000] = u'\n';
    EXPECT_EQ(FTE::truncateToLimit(after), QString(15000, u'd'));
}

TEST(FileTextLimits, CountsUserPerceivedCharacters) {
    // A thumbs-up with a skin tone (4 UTF-16 units), a flag (4 units), a family joined with
    // zero-width joiners (11 units) and a Chinese character each count as one.
    const QString thumbs = QStringLiteral("\U0001F44D\U0001F3FD");
    const QString flag = QStringLiteral("\U0001F1E8\U0001F1F3");
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    for (const QString& unit : {thumbs, flag, family, QStringLiteral("会")}) {
        const QString within = unit.repeated(15000);
        EXPECT_EQ(FTE::truncateToLimit(within), within);
        EXPECT_EQ(FTE::truncateToLimit(unit.repeated(15001)), within) << unit.size();
    }
    // Mixed text: a cluster straddling the limit is never split.
    const QString mixed = QString(14999, u'x') + thumbs + thumbs;
    EXPECT_EQ(FTE::truncateToLimit(mixed), QString(14999, u'x') + thumbs);
    // CR LF is one character, and the cut keeps it whole.
    const QString crlf = QString(14998, u'y') + QStringLiteral("\r\nzz");
    EXPECT_EQ(FTE::truncateToLimit(crlf), QString(14998, u'y') + QStringLiteral("\r\n"));
}
