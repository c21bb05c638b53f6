#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>

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
QColor colourAt(const QImage& image, const QPointF& point);

/// The point at `distance` points from `centre` in direction `degrees` (counter-clockwise on
/// screen from the positive x axis).
QPointF polar(const QPointF& centre, double distance, double degrees);

/// The largest distance from `centre`, in points, of a pixel that is not fully transparent.
double farthestVisible(const QImage& image, const QPointF& centre);

/// How many pixels differ by more than `tolerance` in any channel, and the largest difference.
struct ImageDifference {
    qsizetype differingPixels = 0;
    int largest = 0;
};
ImageDifference compareImages(const QImage& a, const QImage& b, int tolerance);

}  // namespace zorbel::test
