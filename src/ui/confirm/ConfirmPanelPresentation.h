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

/// Height of one row of the event list.
constexpr int kRowHeight = 24;

/// 372 with no list (one event); 24 × n + 380 with n ≥ 2 rows of the list shown.
int height(qsizetype shownRows);

/// How many of `rows` list rows are shown without scrolling in a panel kept 8 inside a screen
/// `screenHeight` high: all that fit, at least 2 (the list of a single event has none).
qsizetype shownRows(qsizetype rows, int screenHeight);

/// The screen a panel for a ball at `anchor` goes on: the first of `screens` that meets the
/// anchor, else `mainScreen`.
std::optional<QRect> screenFor(const QRect& anchor, const QList<QRect>& screens,
                               const std::optional<QRect>& mainScreen);

/// The panel's frame for a ball at `anchor`: centred below the ball, above it when it would
/// come within 8 of the screen's bottom, and kept 8 inside the screen `screenFor` picks.
/// Without any screen the first placement is used as it is.
QRect frame(const QRect& anchor, int height, const QList<QRect>& screens,
            const std::optional<QRect>& mainScreen);

}  // namespace ConfirmPanelGeometry

}  // namespace zorbel
