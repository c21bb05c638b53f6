#include "input/Pictures.h"

#include <QImageReader>
#include <QPainter>

#include "core/FileExtractionError.h"
#include "support/AppLogger.h"

namespace zorbel::Pictures {

namespace {

QSize boundedSize(QSize size, int maxPixelSize) {
    if (qMax(size.width(), size.height()) <= maxPixelSize) return size;
    return size.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio);
}

}  // namespace

QImage loadThumbnail(const QString& filePath, int maxPixelSize) {
    QImageReader reader(filePath);
    reader.setAutoTransform(true);
    // The stored size comes before the orientation is applied; a rotation keeps the longest
    // side, so the bound holds either way.
    const QSize stored = reader.size();
    if (stored.isValid()) {
        if (qMax(stored.width(), stored.height()) > maxSide ||
            qint64(stored.width()) * stored.height() > maxPixels) {
            AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("imageTooLarge")));
            throw FileExtractionError::of(FileExtractionError::Kind::tooLarge);
        }
        reader.setScaledSize(boundedSize(stored, maxPixelSize));
    }
    reader.setAllocationLimit(allocationLimitMb);
    QImage image = reader.read();
    if (image.isNull()) return image;
    // A decoder that ignored the scaled size (or could not tell the size) is bounded here.
    const QSize bounded = boundedSize(image.size(), maxPixelSize);
    if (bounded != image.size()) {
        image = image.scaled(bounded, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

QImage flattenedOnWhite(const QImage& image) {
    if (!image.hasAlphaChannel()) return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) return image;
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

}  // namespace zorbel::Pictures
