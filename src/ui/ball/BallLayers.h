#pragma once

#include <QColor>
#include <QGradientStops>
#include <QPointF>
#include <QRectF>

#include "core/CaptureState.h"
#include "ui/ball/BallSkin.h"

class QPainter;

/// The drawing steps both renderers share. Coordinates are the painter's (y down); offsets and
/// angles are given the mathematical way (y up, counter-clockwise) and converted here.
namespace zorbel::BallLayers {

/// Where the ball sits in a rectangle: its centre, the rectangle's shorter side, and the radius
/// that leaves two points of margin.
struct Geometry {
    QPointF centre;
    double side = 0;
    double radius = 0;
};
Geometry fit(const QRectF& rect);

/// `centre` moved by `dx` to the right and `dy` upwards.
inline QPointF offset(const QPointF& centre, double dx, double dy) {
    return {centre.x() + dx, centre.y() - dy};
}

/// `colour` with alpha `alpha` (0 … 1).
QColor withAlpha(QColor colour, double alpha);

/// The state's tint with red, green and blue each multiplied by `saturation`, capped at 1.
QColor baseColour(const CaptureState& state, double saturation);

/// Fills the disc of `radius` about `centre` with a radial gradient from its centre; nothing
/// is drawn beyond the disc. A disc of no area draws nothing.
void fillRadial(QPainter& painter, const QPointF& centre, double radius,
                const QGradientStops& stops);

/// Restricts drawing to the disc of `radius` about `centre` (on top of any clip already set).
void clipToDisc(QPainter& painter, const QPointF& centre, double radius);

/// The tinted body (faint inside, full `alpha` at the edge) and the dark shade on the lower
/// right, for a ball of `radius`; to be drawn inside the ball's clip.
void drawBodyAndShade(QPainter& painter, const QPointF& centre, double radius, const QColor& base,
                      double bodyAlpha, double shadeAlpha);

/// The bright rim on top and the dark rim on the lower right of a ball of `radius` drawn in a
/// square of `side` points; high contrast doubles both alphas (capped at 1).
void drawRims(QPainter& painter, const QPointF& centre, double radius, double side,
              const BallSkin& skin, bool increaseContrast);

/// Strokes the arc of `radius` about `centre` from `startTurns` (in units of π, counter-
/// clockwise from the positive x axis, y up) over `spanTurns` counter-clockwise.
void strokeArc(QPainter& painter, const QPointF& centre, double radius, double startTurns,
               double spanTurns);

}  // namespace zorbel::BallLayers
