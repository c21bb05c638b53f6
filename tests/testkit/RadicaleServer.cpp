#include "testkit/RadicaleServer.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>

#include "testkit/EventLoop.h"

namespace zorbel::test {

namespace {

// First matching section wins; collection patterns match the whole path. Radicale reads the
// file again for every request.
constexpr const char* kRights = R"([root]
user: .+
collection:
permissions: R

[principal]
user: .+
collection: {user}
permissions: RW
%1
[calendars]
user: .+
collection: {user}/[^/]+(/.*)?
permissions: rw
)";

bool writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

}  // namespace

RadicaleServer::RadicaleServer() {
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHost, 0)) m_port = probe.serverPort();
    writeConfig(QStringLiteral("type = none"));
    writeRights();
    m_process.setProgram(QLatin1String(kProgram));
    m_process.setArguments({QStringLiteral("--config"), m_dir.path() + QStringLiteral("/config")});
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
}

RadicaleServer::~RadicaleServer() {
    stop();
}

bool RadicaleServer::isInstalled() {
    return QFileInfo(QLatin1String(kProgram)).isExecutable();
}

bool RadicaleServer::start() {
    if (m_port == 0 || !isInstalled()) return false;
    m_process.start();
    if (!m_process.waitForStarted()) return false;
    return spinUntil(
        [this] {
            return m_process.state() == QProcess::Running &&
                   request("OPTIONS", QStringLiteral("/")) != 0;
        },
        15000);
}

void RadicaleServer::stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QUrl RadicaleServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

int RadicaleServer::request(const QByteArray& verb, const QString& path, const QByteArray& data,
                            const QString& user, QByteArray* body) {
    QNetworkAccessManager network;
    QNetworkRequest request(url().resolved(QUrl(path)));
    request.setRawHeader("Authorization",
                         "Basic " + (user + u':' + QLatin1String(kPassword)).toUtf8().toBase64());
    if (!data.isEmpty()) request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    request.setTransferTimeout(5000);
    QNetworkReply* reply = network.sendCustomRequest(request, verb, data);
    spinUntil([reply] { return reply->isFinished(); }, 6000);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (body) *body = reply->readAll();
    delete reply;
    return status;
}

bool RadicaleServer::writeConfig(const QString& auth) {
    const QString config = QStringLiteral(
                               "[server]\nhosts = 127.0.0.1:%1\n[auth]\n%2\n"
                               "[rights]\ntype = from_file\nfile = %3/rights\n"
                               "[storage]\nfilesystem_folder = %4\n[logging]\nlevel = error\n")
                               .arg(QString::number(m_port), auth, m_dir.path(), storageFolder());
    return writeText(m_dir.path() + QStringLiteral("/config"), config.toUtf8());
}

bool RadicaleServer::requirePassword(const QString& user) {
    const QString users = m_dir.path() + QStringLiteral("/users");
    return writeText(users, (user + u':' + QLatin1String(kPassword) + u'\n').toUtf8()) &&
           writeConfig(QStringLiteral("type = htpasswd\nhtpasswd_filename = %1\n"
                                      "htpasswd_encryption = plain")
                           .arg(users));
}

bool RadicaleServer::writeRights() {
    QString readOnly;
    for (const QString& collection : m_readOnly) {
        readOnly +=
            QStringLiteral("\n[readonly %1]\nuser: .+\ncollection: %1(/.*)?\npermissions: r\n")
                .arg(collection);
    }
    return writeText(m_dir.path() + QStringLiteral("/rights"),
                     QString::fromLatin1(kRights).arg(readOnly).toUtf8());
}

bool RadicaleServer::makeReadOnly(const QString& user, const QString& name) {
    m_readOnly.append(user + u'/' + name);
    return writeRights();
}

bool RadicaleServer::makeCalendar(const QString& user, const QString& name,
                                  const QString& displayName, const QString& color,
                                  const QString& component) {
    QString props = QStringLiteral(
                        "<D:resourcetype><D:collection/><C:calendar/></D:resourcetype>"
                        "<D:displayname>%1</D:displayname>"
                        "<C:supported-calendar-component-set><C:comp name=\"%2\"/>"
                        "</C:supported-calendar-component-set>")
                        .arg(displayName.toHtmlEscaped(), component);
    if (!color.isEmpty()) {
        props += QStringLiteral("<I:calendar-color>%1</I:calendar-color>").arg(color);
    }
    const QString mkcol = QStringLiteral(
                              "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                              "<D:mkcol xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
                              "xmlns:I=\"http://apple.com/ns/ical/\"><D:set><D:prop>%1</D:prop>"
                              "</D:set></D:mkcol>")
                              .arg(props);
    return request("MKCOL", u'/' + user + u'/' + name + u'/', mkcol.toUtf8(), user) == 201;
}

}  // namespace zorbel::test
