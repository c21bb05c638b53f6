#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QTransform>
#include <functional>
#include <vector>

#include "ui/ball/BallSkin.h"

class QPainter;

namespace zorbel {

/// Images of the layers of the ball that do not move from one frame to the next, drawn once in
/// device pixels and composited on later frames. Owned by one renderer; GUI thread only.
///
/// A layer is drawn into its image with the target painter's device transform (moved to a
/// whole pixel) and opacity, so compositing the image gives the pixels drawing the layer
/// directly would give, up to rounding. Painters that rotate, shear or blend other than
/// source-over are drawn on directly.
class BallLayerCache {
public:
    /// What a layer depends on besides the painter; equal keys must mean equal drawings.
    struct Key {
        int layer = 0;  ///< which of the renderer's layers
        double radius = 0;
        QPointF centre;
        double side = 0;
        QColor base;
        int mark = 0;
        bool increaseContrast = false;
        double materialOpacity = 0;
        BallSkin skin;
        bool operator==(const Key&) const = default;
    };

    /// Entries kept at most; the least recently used goes first.
    static constexpr qsizetype kCapacity = 64;

    /// Whether `painter` can be served from images (see the class comment).
    static bool serves(const QPainter& painter);

    /// The radius `radius` (points) rounded to 1/256 device pixel at `painter`'s scale: balls
    /// that differ by less are drawn from one image, at most 1/512 pixel off.
    static double quantised(const QPainter& painter, double radius);

    /// The painter transform under which `painter` draws in whole device pixels.
    static QTransform inPixels(const QPainter& painter);

    /// Composites the layer `key` covering `bounds` (points) with `painter`, first drawing it
    /// with `paint` when no image of it is kept. Call only when `serves(painter)`.
    void draw(QPainter& painter, const Key& key, const QRectF& bounds,
              const std::function<void(QPainter&)>& paint);

    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }

private:
    struct Entry {
        Key key;
        QTransform transform;  // the painter's device transform, moved to a whole pixel
        double opacity = 1;
        QPoint origin;  // device pixel of the image's top-left corner
        QImage image;
    };
    std::vector<Entry> m_entries;  // most recently used first
};

}  // namespace zorbel
