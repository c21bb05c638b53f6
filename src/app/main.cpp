#include <QApplication>

#include "app/AppLogger.h"
#include "ball/FloatingBallWindow.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorbel"));
    QApplication::setOrganizationDomain(QStringLiteral("zorbel.app"));
    QApplication::setQuitOnLastWindowClosed(false);
    zorbel::FloatingBallWindow ball;
    ball.show();
    zorbel::AppLogger::shared().record(zorbel::AppLogEvent::launch());
    return QApplication::exec();
}
