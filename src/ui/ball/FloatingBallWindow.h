#pragma once

#include <QWidget>
#include <memory>

#include "ui/ball/BallView.h"

namespace zorbel {
class CalendarWriter;
class ConfirmationFlow;
}  // namespace zorbel

namespace zorbel {

/// The ball's borderless 64 × 64 window: above ordinary windows, on every desktop, without a
/// taskbar entry, with a dark translucent disc as its material whose opacity follows the
/// appearance settings. It holds the ball view, and the confirmation flow the view hands its
/// events to, for its whole life. GUI thread only.
class FloatingBallWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int ballSize = 64;

    FloatingBallWindow(BallServices services, std::shared_ptr<CalendarWriter> writer,
                       BallView::Options options = BallView::Options());

    ~FloatingBallWindow() override;

    BallView* ballView() const { return m_ballView; }
    ConfirmationFlow& confirmationFlow() const { return *m_confirmation; }
    /// 「撤销上次写入」, for the tray menu as well.
    QAction* undoAction() const;
    double materialOpacity() const { return m_materialOpacity; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyMaterialOpacity();

    double m_materialOpacity;
    BallView* m_ballView;
    std::unique_ptr<ConfirmationFlow> m_confirmation;
};

}  // namespace zorbel
