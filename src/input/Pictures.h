#pragma once

#include <QImage>
#include <QString>

namespace zorbel::Pictures {

inline constexpr qint64 maxPixels = 50'000'000;
inline constexpr int maxSide = 12000;
inline constexpr int allocationLimitMb = 256;

/// The picture in `filePath` decoded straight to at most `maxPixelSize` pixels on its longest
/// side (never larger than the original), with its orientation tag applied. Formats whose
/// decoder can scale (JPEG) never hold the full resolution; the others stay within Qt's image
/// allocation limit (`allocationLimitMb`). A null image when the file cannot be decoded.
/// Throws FileExtractionError `tooLarge`, logged as "imageTooLarge", when the header claims
/// more than `maxPixels` pixels or `maxSide` on a side: some decoders (progressive JPEG) hold
/// buffers for the whole image whatever the scaled size.
QImage loadThumbnail(const QString& filePath, int maxPixelSize);

/// `image` drawn at full opacity over opaque white, without an alpha channel. Images without
/// alpha come back unchanged.
QImage flattenedOnWhite(const QImage& image);

}  // namespace zorbel::Pictures
