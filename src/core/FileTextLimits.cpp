#include "core/FileTextLimits.h"

#include <QFileInfo>
#include <QTextBoundaryFinder>

namespace zorbel::FileTextExtractor {

const QSet<QString>& imageExtensions() {
    static const QSet<QString> extensions{
        QStringLiteral("png"),  QStringLiteral("jpg"),  QStringLiteral("jpeg"),
        QStringLiteral("heic"), QStringLiteral("webp"), QStringLiteral("gif"),
        QStringLiteral("bmp"),  QStringLiteral("tiff"), QStringLiteral("tif")};
    return extensions;
}

QString lowerExtension(const QString& filePath) {
    return QFileInfo(filePath).suffix().toLower();
}

bool isImageFile(const QString& filePath) {
    return imageExtensions().contains(lowerExtension(filePath));
}

QString truncateToLimit(const QString& text) {
    // Every grapheme cluster holds at least one UTF-16 unit, so a short text is within the limit.
    if (text.size() <= maxChars) return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype clusters = 0;
    qsizetype end = 0;
    while (clusters < maxChars) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0) return text;  // fewer clusters than the limit
        end = next;
        ++clusters;
    }
    if (end >= text.size()) return text;
    const qsizetype lastNewline = text.lastIndexOf(u'\n', end - 1);
    return text.left(lastNewline >= 0 ? lastNewline + 1 : end);
}

bool exceedsLimit(const QString& text) {
    return truncateToLimit(text).size() < text.size();
}

}  // namespace zorbel::FileTextExtractor
