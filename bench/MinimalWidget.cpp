// The smallest Qt widget program that shows a window: a 64 × 64 frameless window named
// "minimal". bench/startup.sh sets the app's start-up time and idle memory against it.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("minimal"));
    window.setFixedSize(64, 64);
    window.show();
    return QApplication::exec();
}
