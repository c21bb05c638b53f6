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

namespace {

// A text of `size` copies of `fill` with newlines at `newlines`.
QString text(qsizetype size, QChar fill, std::initializer_list<qsizetype> newlines = {}) {
    QString made(size, fill);
    for (const qsizetype at : newlines) made[at] = u'\n';
    return made;
}

}  // namespace

TEST(FileTextLimits, TruncationCutsBackToTheLastNewlineWithinTheLimit) {
    const std::pair<QString, QString> rows[] = {
        {text(20000, u'a', {100, 14999}), text(15000, u'a', {100, 14999})},  // last one kept
        {text(20000, u'b'), text(15000, u'b')},
        {text(15000, u'c', {14000}), text(15000, u'c', {14000})},
        {QString(), QString()},
        {text(15001, u'd', {15000}), text(15000, u'd')},  // just past the limit: no cut there
    };
    for (const auto& [input, expected] : rows) {
        SCOPED_TRACE(input.size());
        EXPECT_EQ(FTE::truncateToLimit(input), expected);
        EXPECT_EQ(FTE::exceedsLimit(input), input.size() > expected.size());
    }
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
