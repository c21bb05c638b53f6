#include "ui/ball/BallLayers.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

#include "ui/ball/BallStateColors.h"
#include "ui/ball/VisualTokens.h"

namespace zorbel::BallLayers {

Geometry fit(const QRectF& rect) {
    const double side = std::min(rect.width(), rect.height());
    return {rect.center(), side, side / 2 - 2};
}

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return colour;
}

QColor baseColour(const CaptureState& state, double saturation) {
    const QColor tint = BallStateColors::tint(state);
    const auto scaled = [saturation](float component) {
        return static_cast<float>(std::min(component * saturation, 1.0));
    };
    return QColor::fromRgbF(scaled(tint.redF()), scaled(tint.greenF()), scaled(tint.blueF()));
}

void fillRadial(QPainter& painter, const QPointF& centre, double radius,
                const QGradientStops& stops) {
    if (!(radius > 0)) return;
    QRadialGradient gradient(centre, radius);
    gradient.setStops(stops);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, radius, radius);
}

void clipToDisc(QPainter& painter, const QPointF& centre, double radius) {
    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    painter.setClipPath(disc, Qt::IntersectClip);
}

void drawBodyAndShade(QPainter& painter, const QPointF& centre, double radius, const QColor& base,
                      double bodyAlpha, double shadeAlpha) {
    fillRadial(painter, centre, radius,
               {{0.35, withAlpha(base, 0.25 * bodyAlpha)}, {1.0, withAlpha(base, bodyAlpha)}});
    const QColor black(Qt::black);
    fillRadial(painter, offset(centre, 0.35 * radius, -0.35 * radius), 1.1 * radius,
               {{0.55, withAlpha(black, 0)}, {1.0, withAlpha(black, shadeAlpha)}});
}

void drawRims(QPainter& painter, const QPointF& centre, double radius, double side,
              const BallSkin& skin, bool increaseContrast) {
    const double width = skin.rimWidth * side / VisualTokens::ballDiameter;
    const double k = increaseContrast ? 2.0 : 1.0;
    QPen pen(withAlpha(Qt::white, std::min(k * skin.rimBrightAlpha, 1.0)), width);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    strokeArc(painter, centre, radius - width / 2, 0.15, 0.7);
    pen.setColor(withAlpha(Qt::black, std::min(k * skin.rimDarkAlpha, 1.0)));
    painter.setPen(pen);
    strokeArc(painter, centre, radius - width, -0.65, 0.6);
}

void strokeArc(QPainter& painter, const QPointF& centre, double radius, double startTurns,
               double spanTurns) {
    if (!(radius > 0)) return;
    // Qt's arc angles already run counter-clockwise on screen, in degrees.
    QPainterPath arc;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    arc.arcMoveTo(box, startTurns * 180.0);
    arc.arcTo(box, startTurns * 180.0, spanTurns * 180.0);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arc);
}

}  // namespace zorbel::BallLayers
