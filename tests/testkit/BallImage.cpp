#include "testkit/BallImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorbel::test {

QColor colourAt(const QImage& image, const QPointF& point) {
    const double scale = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(point.x() * scale),
                            static_cast<int>(point.y() * scale));
}

QPointF polar(const QPointF& centre, double distance, double degrees) {
    const double angle = degrees * std::numbers::pi / 180;
    return {centre.x() + distance * std::cos(angle), centre.y() - distance * std::sin(angle)};
}

double farthestVisible(const QImage& image, const QPointF& centre) {
    const double scale = image.devicePixelRatio();
    double farthest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) continue;
            const double dx = (x + 0.5) / scale - centre.x();
            const double dy = (y + 0.5) / scale - centre.y();
            farthest = std::max(farthest, std::hypot(dx, dy));
        }
    }
    return farthest;
}

ImageDifference compareImages(const QImage& a, const QImage& b, int tolerance) {
    ImageDifference result;
    if (a.size() != b.size()) return {a.width() * a.height(), 255};
    const QImage first = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage second = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb p = first.pixel(x, y);
            const QRgb q = second.pixel(x, y);
            const int largest =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            result.largest = std::max(result.largest, largest);
            if (largest > tolerance) ++result.differingPixels;
        }
    }
    return result;
}

}  // namespace zorbel::test
