#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/CaptureState.h"
#include "ui/ball/BallRenderEnvironment.h"

namespace zorbel::test {

/// Draws one frame with `renderer.draw` into a fresh transparent image of `logical` points at
/// `scale` device pixels per point, the ball filling the whole image.
template <typename Renderer>
QImage drawBall(const Renderer& renderer, const CaptureState& state, double time,
                QSizeF logical = {64, 64}, double scale = 4.0,
                BallRenderEnvironment environment = {}, double materialOpacity = 0.92) {
    QImage image((logical * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.draw(state, QRectF(QPointF(0, 0), logical), time, environment, painter,
                  materialOpacity);
    return image;
}

/// The unpremultiplied colour at a point given in points.
inline QColor colourAt(const QImage& image, const QPointF& point) {
    const double scale = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(point.x() * scale),
                            static_cast<int>(point.y() * scale));
}

/// The point at `distance` points from `centre` in direction `degrees` (counter-clockwise on
/// screen from the positive x axis).
inline QPointF polar(const QPointF& centre, double distance, double degrees) {
    const double angle = degrees * std::numbers::pi / 180;
    return {centre.x() + distance * std::cos(angle), centre.y() - distance * std::sin(angle)};
}

/// The largest distance from `centre`, in points, of a pixel that is not fully transparent.
inline double farthestVisible(const QImage& image, const QPointF& centre) {
    const double scale = image.devicePixelRatio();
    double farthest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) continue;
            farthest = std::max(farthest, std::hypot((x + 0.5) / scale - centre.x(),
                                                     (y + 0.5) / scale - centre.y()));
        }
    }
    return farthest;
}

/// How many pixels differ by more than `tolerance` in any channel, and the largest difference.
struct ImageDifference {
    qsizetype differingPixels = 0;
    int largest = 0;
};
inline ImageDifference compareImages(const QImage& a, const QImage& b, int tolerance) {
    if (a.size() != b.size()) return {a.width() * a.height(), 255};
    ImageDifference result;
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
