#include "ui/ball/BallLayerCache.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zorbel {

bool BallLayerCache::serves(const QPainter& painter) {
    const QTransform& t = painter.deviceTransform();
    return t.type() <= QTransform::TxScale && t.m11() > 0 && t.m11() == t.m22() &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver;
}

double BallLayerCache::quantised(const QPainter& painter, double radius) {
    const double perPoint = 256 * painter.deviceTransform().m11();
    return std::round(radius * perPoint) / perPoint;
}

QTransform BallLayerCache::inPixels(const QPainter& painter) {
    const QTransform toDevice = painter.transform().inverted() * painter.deviceTransform();
    return toDevice.inverted();
}

void BallLayerCache::draw(QPainter& painter, const Key& key, const QRectF& bounds,
                          const std::function<void(QPainter&)>& paint) {
    const QTransform& device = painter.deviceTransform();
    const QRectF pixels = device.mapRect(bounds);
    const QPoint origin(static_cast<int>(std::floor(pixels.left())),
                        static_cast<int>(std::floor(pixels.top())));
    const QTransform transform = device * QTransform::fromTranslate(-origin.x(), -origin.y());
    const double opacity = painter.opacity();

    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return entry.transform == transform && entry.opacity == opacity && entry.key == key;
    });
    if (found == m_entries.end()) {
        const QSize extent(static_cast<int>(std::ceil(pixels.right())) - origin.x(),
                           static_cast<int>(std::ceil(pixels.bottom())) - origin.y());
        QImage image(extent, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter layer(&image);
            layer.setRenderHints(painter.renderHints());
            layer.setTransform(transform);
            layer.setOpacity(opacity);
            paint(layer);
        }
        if (size() == kCapacity) m_entries.pop_back();
        m_entries.insert(m_entries.begin(), {key, transform, opacity, origin, std::move(image)});
        found = m_entries.begin();
    } else if (found != m_entries.begin()) {
        std::rotate(m_entries.begin(), found, found + 1);
        found = m_entries.begin();
    }

    painter.save();
    painter.setTransform(inPixels(painter));
    painter.setOpacity(1);
    painter.drawImage(found->origin, found->image);
    painter.restore();
}

}  // namespace zorbel
