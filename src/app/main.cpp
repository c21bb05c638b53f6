#include <QApplication>

#include "app/AppDelegate.h"
#include "app/SettingsWindowController.h"
#include "ball/FloatingBallWindow.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorbel"));
    QApplication::setOrganizationDomain(QStringLiteral("zorbel.app"));
    QApplication::setQuitOnLastWindowClosed(false);
    zorbel::AppDelegate delegate;
    const auto makeBallWindow = [] {
        auto* window = new zorbel::FloatingBallWindow;
        // "设置…" in the ball's menu and the status panel's open-settings action.
        window->ballView()->showSettings = [] {
            zorbel::SettingsWindowController::shared().showSettings();
        };
        return window;
    };
    if (!delegate.applicationDidFinishLaunching(makeBallWindow)) return 0;
    return QApplication::exec();
}
