#pragma once

#include <QPointF>
#include <QWidget>
#include <functional>
#include <optional>

#include "capture/ProcessingStatusPresentation.h"
#include "ui/shared/ScreenLayout.h"

class QFontMetrics;
class QLabel;
class QPushButton;

namespace zorbel {

/// The small floating panel beside the ball: a failure with its one recovery button, or the
/// invitation to release a dragged file. It never takes the keyboard focus and never hides
/// itself; the ball view decides when it shows. GUI thread only.
class ProcessingStatusPanel : public QWidget {
    Q_OBJECT
public:
    using ActionHandler = std::function<void(ProcessingStatusPresentation::Action)>;

    static constexpr int kWidth = 280;
    static constexpr int kHeight = 64;

    /// Created hidden. `screens` lists the screens the panel is kept on.
    explicit ProcessingStatusPanel(ScreenSource screens = ScreenLayout::systemScreens);

    /// Shows `presentation` beside `anchor` (the ball window's frame, global coordinates) and
    /// keeps `onAction` for the button; hides the panel when either is absent, keeping the
    /// previous handler.
    void update(const std::optional<ProcessingStatusPresentation>& presentation,
                const std::optional<QRectF>& anchor, ActionHandler onAction);

    /// The panel's top-left corner for a ball at `anchor`: to the right of the ball, else to
    /// its left, else below it, always at least 8 points inside the chosen screen.
    static QPointF placement(const QRectF& anchor, const QList<ScreenInfo>& screens);

    /// `text` whole when it fits `lines` lines of `width` (wrapped where lines may break),
    /// else cut at the last line-break opportunity that leaves room for "…": never inside a
    /// word.
    static QString fitted(const QString& text, const QFontMetrics& metrics, int width, int lines);

    /// The button's press: maps its visible title back to an action and tells the handler.
    void actionClicked();

    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* detailLabel() const { return m_detailLabel; }
    QPushButton* actionButton() const { return m_actionButton; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ScreenSource m_screens;
    QLabel* m_titleLabel;
    QLabel* m_detailLabel;
    QPushButton* m_actionButton;
    ActionHandler m_actionHandler;
    /// What the button does: the action shown, never read back from its title.
    ProcessingStatusPresentation::Action m_action = ProcessingStatusPresentation::Action::dismiss;
};

}  // namespace zorbel
