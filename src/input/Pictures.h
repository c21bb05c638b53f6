#pragma once

#include <QImage>
#include <QString>

namespace zorbel::Pictures {

/// The picture in `filePath` decoded straight to at most `maxPixelSize` pixels on its longest
/// side (never larger than the original), with its orientation tag applied. Formats whose
/// decoder can scale (JPEG) never hold the full resolution; the others stay within Qt's image
/// allocation limit. A null image when the file cannot be decoded.
QImage loadThumbnail(const QString& filePath, int maxPixelSize);

/// `image` drawn at full opacity over opaque white, without an alpha channel. Images without
/// alpha come back unchanged.
QImage flattenedOnWhite(const QImage& image);

}  // namespace zorbel::Pictures
