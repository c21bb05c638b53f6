#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <optional>

namespace zorbel {

/// The heading and button text of the confirm panel for a number of events.
struct ConfirmPanelPresentation {
    QString title;
    QString primaryTitle;
    std::optional<double> autoDismissInterval;  ///< always empty: the panel never closes itself

    bool operator==(const ConfirmPanelPresentation&) const = default;

    /// "确认日程" for one event, "确认 n 个日程" for any other count; the button reads
    /// "添加到日历".
    static ConfirmPanelPresentation make(qsizetype eventCount);
};

/// Size and place of the confirm panel, in screen coordinates (y grows downwards).
namespace ConfirmPanelGeometry {

constexpr int kWidth = 480;
/// Distance between the ball and the panel.
constexpr int kAnchorGap = 10;
/// The least distance between the panel and a screen edge.
constexpr int kScreenMargin = 8;

/// 340 for one event; 24 × n + 348 for n ≥ 2 (the list adds a row per event).
int height(qsizetype eventCount);

/// The panel's frame for a ball at `anchor`: centred below the ball, above it when it would
/// come within 8 of the screen's bottom, and kept 8 inside the first of `screens` that meets
/// the anchor (else `mainScreen`). Without any screen the first placement is used as it is.
QRect frame(const QRect& anchor, int height, const QList<QRect>& screens,
            const std::optional<QRect>& mainScreen);

}  // namespace ConfirmPanelGeometry

}  // namespace zorbel
