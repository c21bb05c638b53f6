#include <QApplication>

#include "app/AppDelegate.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorbel"));
    QApplication::setOrganizationDomain(QStringLiteral("zorbel.app"));
    QApplication::setQuitOnLastWindowClosed(false);
    zorbel::AppDelegate delegate;
    // The floating ball window takes this place.
    const auto makeBallWindow = [] {
        auto* window =
            new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        window->resize(96, 96);
        return window;
    };
    if (!delegate.applicationDidFinishLaunching(makeBallWindow)) return 0;
    return QApplication::exec();
}
