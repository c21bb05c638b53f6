#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QMessageBox>

#include "support/PrivateFolder.h"

namespace zorbel {

namespace {

/// What a new installed copy tells the listening one.
const QByteArray kInstalledCopyStarted = QByteArrayLiteral("installed-copy-started\n");
constexpr int kConnectTimeoutMs = 500;

}  // namespace

SingleInstance::SingleInstance(QString serverName, QString executablePath, Actions actions)
    : m_serverName(std::move(serverName)),
      m_executablePath(std::move(executablePath)),
      m_actions(std::move(actions)) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                const QByteArray request = socket->readLine();
                if (request == kInstalledCopyStarted && isMountedImage(m_executablePath)) {
                    m_server.close();
                    m_actions.terminate();
                }
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName() {
    const QString folder = privateFolder();
    if (folder.isEmpty()) return {};
    return folder + QStringLiteral("/instance");
}

bool SingleInstance::isMountedImage(const QString& path) {
    return path.startsWith(QLatin1String(kMountPrefix));
}

bool SingleInstance::ensureSingleInstance() {
    QLocalSocket other;
    other.connectToServer(m_serverName);
    if (!other.waitForConnected(kConnectTimeoutMs)) {
        listen();
        return true;
    }
    if (isMountedImage(m_executablePath)) {
        m_actions.showAlert();
        return false;
    }
    other.write(kInstalledCopyStarted);
    other.waitForBytesWritten(kConnectTimeoutMs);
    other.disconnectFromServer();
    return true;
}

void SingleInstance::listen() {
    // A socket file left by a copy that crashed answers nobody: take its place.
    QLocalServer::removeServer(m_serverName);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_serverName);
}

void showMountedCopyAlert() {
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Zorbel"),
                      SingleInstance::tr("请从「应用程序」启动Zorbel"), QMessageBox::NoButton);
    alert.setInformativeText(SingleInstance::tr(
        "检测到一个已安装的Zorbel正在运行。DMG 安装窗口里的副本不能直接使用：它的签名标识与已"
        "安装副本不同，系统授权会按两个程序重复询问。本副本将退出。"));
    alert.addButton(SingleInstance::tr("好"), QMessageBox::AcceptRole);
    alert.setWindowFlag(Qt::WindowStaysOnTopHint);
    alert.exec();
}

}  // namespace zorbel
