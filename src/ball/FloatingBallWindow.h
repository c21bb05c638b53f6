#pragma once

#include <QWidget>

#include "ball/BallView.h"

namespace zorbel {

/// The ball's borderless 64 × 64 window: above ordinary windows, on every desktop, without a
/// taskbar entry, with a dark translucent disc as its material whose opacity follows the
/// appearance settings. It holds the ball view for its whole life. GUI thread only.
class FloatingBallWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int ballSize = 64;

    explicit FloatingBallWindow(BallServices services = BallServices::system(),
                                BallView::Options options = BallView::Options());

    BallView* ballView() const { return m_ballView; }
    double materialOpacity() const { return m_materialOpacity; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyMaterialOpacity();

    double m_materialOpacity;
    BallView* m_ballView;
};

}  // namespace zorbel
