// Stores the first line of standard input as the secret of the account named on the command
// line, in the desktop's secret store and exactly as Zorbel stores it. Exits 0 when stored.

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include "llm/KeychainCredentialStore.h"

namespace {

QCoro::Task<void> store(QString value, QString account) {
    zorbel::KeychainCredentialStore keychain;
    int code = 0;
    try {
        co_await keychain.setCredential(std::move(value), std::move(account));
    } catch (const zorbel::KeychainError& error) {
        QTextStream(stderr) << "secret store error " << error.status() << '\n';
        code = 1;
    }
    QCoreApplication::exit(code);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: store-secret ACCOUNT < secret\n";
        return 2;
    }
    const QString value = QTextStream(stdin).readLine();
    const QString account = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(0, &app, [value, account] { store(value, account); });
    const int code = app.exec();
    // The store's job was handed to deleteLater in the loop's last turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}
