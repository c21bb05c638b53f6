#include "ui/confirm/ConfirmPanelPresentation.h"

#include <algorithm>

#include "ui/confirm/ConfirmText.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

ConfirmPanelPresentation ConfirmPanelPresentation::make(qsizetype eventCount) {
    const QString title = eventCount == 1
                              ? ConfirmText::tr("确认日程")
                              : ConfirmText::tr("确认 %n 个日程", nullptr, int(eventCount));
    return {title, ConfirmText::tr("添加到日历"), std::nullopt};
}

namespace ConfirmPanelGeometry {

int height(qsizetype shownRows) {
    return shownRows < 2 ? 372 : int(kRowHeight * shownRows + 380);
}

qsizetype shownRows(qsizetype rows, int screenHeight) {
    if (rows < 2) return 0;
    const qsizetype fitting = (screenHeight - 2 * kScreenMargin - height(2)) / kRowHeight + 2;
    return std::clamp<qsizetype>(fitting, 2, rows);
}

std::optional<QRect> screenFor(const QRect& anchor, const QList<QRect>& screens,
                               const std::optional<QRect>& mainScreen) {
    const auto meeting = std::find_if(screens.cbegin(), screens.cend(),
                                      [&](const QRect& s) { return s.intersects(anchor); });
    return meeting != screens.cend() ? std::optional<QRect>(*meeting) : mainScreen;
}

QRect frame(const QRect& anchor, int height, const QList<QRect>& screens,
            const std::optional<QRect>& mainScreen) {
    // Edges as the exclusive right and bottom lines, so that a margin of 8 leaves 8 pixels.
    const int centre = anchor.x() + anchor.width() / 2;
    int x = centre - kWidth / 2;
    int y = anchor.y() + anchor.height() + kAnchorGap;

    if (const std::optional<QRect> screen = screenFor(anchor, screens, mainScreen)) {
        const int left = screen->x();
        const int right = screen->x() + screen->width();
        const int top = screen->y();
        const int bottom = screen->y() + screen->height();
        x = std::min(std::max(x, left + kScreenMargin), right - kWidth - kScreenMargin);
        // Too close to the bottom: above the ball instead.
        if (y + height > bottom - kScreenMargin) y = anchor.y() - kAnchorGap - height;
        y = std::max(std::min(y, bottom - height - kScreenMargin), top + kScreenMargin);
    }
    return {x, y, kWidth, height};
}

}  // namespace ConfirmPanelGeometry

}  // namespace zorbel
