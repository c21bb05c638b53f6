#include <QApplication>

#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "app/DisplayPlatform.h"
#include "support/UiLanguage.h"
#include "ui/ball/FloatingBallWindow.h"

int main(int argc, char* argv[]) {
    zorbel::DisplayPlatform::applyToThisProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorbel"));
    QApplication::setOrganizationDomain(QStringLiteral("zorbel.app"));
    // Desktops match the windows to the installed entry by it (the app id on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.zorbel.app"));
    QApplication::setQuitOnLastWindowClosed(false);
    zorbel::installUiTranslation();
    zorbel::AppServices services;
    zorbel::AppDelegateOptions options;
    options.credentials = services.credentials();
    options.client = &services.model();
    options.showSettings = [&services] { services.showSettings(); };
    zorbel::AppDelegate delegate(std::move(options));
    const auto makeBallWindow = [&services, &delegate] {
        auto* window = new zorbel::FloatingBallWindow(services.ball(), services.calendar());
        // "设置…" in the ball's menu and the status panel's open-settings action.
        window->ballView()->showSettings = [&services] { services.showSettings(); };
        // 「撤销上次写入」 in the tray menu too, above "设置…".
        delegate.menu()->insertAction(delegate.menu()->actions().value(0), window->undoAction());
        return window;
    };
    if (!delegate.applicationDidFinishLaunching(makeBallWindow)) return 0;
    return QApplication::exec();
}
