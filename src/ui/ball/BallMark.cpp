#include "ui/ball/BallMark.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

namespace zorbel {

namespace {

// The shapes are laid out in a square of kUnit (y down), large enough for curves to be
// flattened smoothly, and scaled to the mark's size when drawn.
constexpr double kUnit = 100;
constexpr double kStroke = 8.5;  // a semibold line

QPainterPath outline(const QPainterPath& lines, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(lines);
}

QPainterPath microphone() {
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(36, 6, 28, 54), 14, 14);
    QPainterPath stand;
    const QRectF cradle(23, 17, 54, 54);  // its lower half holds the capsule
    stand.arcMoveTo(cradle, 180);
    stand.arcTo(cradle, 180, 180);
    stand.moveTo(50, 71);
    stand.lineTo(50, 86);
    stand.moveTo(36, 90);
    stand.lineTo(64, 90);
    return capsule.united(outline(stand, kStroke)).simplified();
}

QPainterPath checkmark() {
    QPainterPath tick;
    tick.moveTo(16, 54);
    tick.lineTo(40, 78);
    tick.lineTo(86, 22);
    return outline(tick, 1.4 * kStroke).simplified();
}

QPainterPath exclamationmark() {
    QPainterPath bar;
    bar.moveTo(50, 12);
    bar.lineTo(50, 62);
    QPainterPath mark = outline(bar, 1.5 * kStroke);
    mark.addEllipse(QPointF(50, 85), 8, 8);
    return mark.simplified();
}

const QPainterPath& shape(BallMark mark) {
    static const QPainterPath shapes[] = {microphone(), checkmark(), exclamationmark()};
    return shapes[static_cast<int>(mark)];
}

}  // namespace

BallMark markFor(const CaptureState& state) {
    switch (state.kind()) {
        case CaptureState::Kind::success:
            return BallMark::checkmark;
        case CaptureState::Kind::failure:
            return BallMark::exclamationmark;
        default:
            return BallMark::microphone;
    }
}

void drawMark(QPainter& painter, BallMark mark, const QPointF& centre, double side,
              const QColor& colour) {
    if (!(side > 0)) return;
    painter.save();
    painter.translate(centre.x() - side / 2, centre.y() - side / 2);
    painter.scale(side / kUnit, side / kUnit);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(shape(mark));
    painter.restore();
}

}  // namespace zorbel
