#include "ui/ball/FloatingBallWindow.h"

#include "ui/confirm/ConfirmPanel.h"
#include "ui/confirm/ConfirmationFlow.h"

#include <QGuiApplication>
#include <QPainter>

#include "support/Appearance.h"

#include <cstdlib>

#if QT_CONFIG(xcb) && __has_include(<xcb/xcb.h>)
#include <xcb/xcb.h>
#define ZORBEL_HAS_XCB 1
#endif

namespace zorbel {

namespace {

// On X11, 0xFFFFFFFF in _NET_WM_DESKTOP puts a window on every desktop. Set before the window
// is mapped, the window manager reads it when it takes the window on.
void makeSticky([[maybe_unused]] QWidget* window) {
#ifdef ZORBEL_HAS_XCB
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    xcb_connection_t* connection = x11->connection();
    if (!connection) return;
    static const char name[] = "_NET_WM_DESKTOP";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof(name) - 1, name), nullptr);
    if (!atom) return;
    const quint32 allDesktops = 0xFFFFFFFF;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                        atom->atom, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    std::free(atom);
#endif
}

}  // namespace

FloatingBallWindow::FloatingBallWindow(BallServices services,
                                       std::shared_ptr<CalendarWriter> writer,
                                       BallView::Options options)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_materialOpacity(Appearance::ballMaterialOpacity()) {
    const std::shared_ptr<PermissionRequesting> permissions = services.permissions;
    m_ballView = new BallView(std::move(services), std::move(options), this);
    BallView* const view = m_ballView;
    m_confirmation = std::make_unique<ConfirmationFlow>(ConfirmationFlow::Seams{
        [this] { return static_cast<QWidget*>(this); },
        [view] { return view->renderState(); },
        [view](CaptureState state) { view->setRenderState(state); },
        permissions,
        std::move(writer),
    });
    ConfirmationFlow* const flow = m_confirmation.get();
    m_ballView->setConfirmation({
        [flow](QList<ExtractedEvent> events) { flow->showConfirmPanel(events); },
        [flow] {
            if (!flow->confirmPanel()) return false;
            flow->confirmPanel()->requestDiscard();
            return true;
        },
        [flow, view] { flow->stateChanged(view->renderState()); },
        flow->undoAction(),
    });
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Zorbel"));
    setFixedSize(ballSize, ballSize);
    m_ballView->setGeometry(0, 0, ballSize, ballSize);
    m_ballView->setMaterialOpacity(m_materialOpacity);
    connect(&AppearanceNotifications::shared(), &AppearanceNotifications::materialOpacityChanged,
            this, &FloatingBallWindow::applyMaterialOpacity);
    makeSticky(this);
    m_ballView->placeInBallWindow();
}

QAction* FloatingBallWindow::undoAction() const {
    return m_confirmation->undoAction();
}

FloatingBallWindow::~FloatingBallWindow() {
    // The view's callbacks reach the flow: take them away before the flow goes.
    m_ballView->setConfirmation({});
}

void FloatingBallWindow::applyMaterialOpacity() {
    m_materialOpacity = Appearance::ballMaterialOpacity();
    m_ballView->setMaterialOpacity(m_materialOpacity);
    update();
}

void FloatingBallWindow::paintEvent(QPaintEvent* /*event*/) {
    // The material behind the ball: a dark disc at the material opacity.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(28, 28, 30, int(m_materialOpacity * 160)));
    painter.drawEllipse(QRectF(rect()));
}

void FloatingBallWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_ballView->windowVisibilityChanged(true);
}

void FloatingBallWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_ballView->windowVisibilityChanged(false);
}

}  // namespace zorbel
