#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <utility>
#include <vector>

#include "testkit/EventLoop.h"

namespace zorbel::test {

/// A real CalDAV server on a free loopback port with its own storage folder, run as a child
/// process. Stops when it goes away; can be stopped and started again (same port, same storage).
class CalDavServer {
public:
    /// The password `request` sends; servers that check passwords accept only it.
    static constexpr const char* kPassword = "pw";

    virtual ~CalDavServer() { stop(); }
    CalDavServer(const CalDavServer&) = delete;
    CalDavServer& operator=(const CalDavServer&) = delete;

    /// "radicale" or "xandikos", for test traces.
    const char* name() const { return m_name; }

    /// Starts the server and waits until it answers HTTP; false when it does not within 15 s.
    bool start() {
        if (m_port == 0 || !QFileInfo(m_process.program()).isExecutable()) return false;
        m_process.start();
        if (!m_process.waitForStarted()) return false;
        return spinUntil(
            [this] {
                return m_process.state() == QProcess::Running &&
                       request("OPTIONS", QStringLiteral("/")) != 0;
            },
            15000);
    }
    /// Stops the server now; requests after this are refused.
    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) m_process.kill();
        m_process.waitForFinished(5000);
    }

    /// "http://127.0.0.1:PORT/".
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port)); }
    quint16 port() const { return m_port; }
    QString storageFolder() const { return path("storage"); }

    /// The path of `user`'s calendar collection `name`, "/…/name/".
    virtual QString calendarPath(const QString& user, const QString& name) const = 0;

    /// One blocking request as `user` (Basic auth with kPassword); the HTTP status, 0 without
    /// an answer. `body` receives the answer's body when given.
    int request(const QByteArray& verb, const QString& path, const QByteArray& data = {},
                const QString& user = QStringLiteral("alice"), QByteArray* body = nullptr) {
        QNetworkAccessManager network;
        QNetworkRequest request(url().resolved(QUrl(path)));
        request.setRawHeader(
            "Authorization",
            "Basic " + (user + u':' + QLatin1String(kPassword)).toUtf8().toBase64());
        if (!data.isEmpty()) request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
        request.setTransferTimeout(5000);
        std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, verb, data));
        spinUntil([&] { return reply->isFinished(); }, 6000);
        if (body) *body = reply->readAll();
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

    /// Makes `user`'s calendar collection `name` with a display name, a colour (none when
    /// empty) and the component types it holds ("VEVENT", "VTODO"); true on 201. Servers that
    /// keep no colour or component set ignore them.
    bool makeCalendar(const QString& user, const QString& name, const QString& displayName,
                      const QString& color, const QString& component = QStringLiteral("VEVENT")) {
        const QString colour =
            color.isEmpty() ? QString()
                            : QStringLiteral("<I:calendar-color>%1</I:calendar-color>").arg(color);
        const QString mkcol =
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                "<D:mkcol xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
                "xmlns:I=\"http://apple.com/ns/ical/\"><D:set><D:prop>"
                "<D:resourcetype><D:collection/><C:calendar/></D:resourcetype>"
                "<D:displayname>%1</D:displayname><C:supported-calendar-component-set>"
                "<C:comp name=\"%2\"/></C:supported-calendar-component-set>%3"
                "</D:prop></D:set></D:mkcol>")
                .arg(displayName.toHtmlEscaped(), component, colour);
        return request("MKCOL", calendarPath(user, name), mkcol.toUtf8(), user) == 201;
    }

protected:
    CalDavServer(const char* name, const char* program) : m_name(name) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, 0)) m_port = probe.serverPort();
        m_process.setProgram(QLatin1String(program));
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
    }
    QString path(const char* name) const { return m_dir.path() + u'/' + QLatin1String(name); }
    void setArguments(const QStringList& arguments) { m_process.setArguments(arguments); }
    static bool writeText(const QString& path, const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }

private:
    const char* m_name;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

/// Radicale with its own rights: any user name with any password is that user; every user may
/// read and write their own calendars "/user/name/" except those made read-only.
class RadicaleServer final : public CalDavServer {
public:
    /// The server program, called by full path (another python3 may come first on PATH).
    static constexpr const char* kProgram = "/usr/bin/radicale";

    RadicaleServer() : CalDavServer("radicale", kProgram) {
        writeConfig(QStringLiteral("type = none"));
        writeRights();
        setArguments({QStringLiteral("--config"), path("config")});
    }

    static bool isInstalled() { return QFileInfo(QLatin1String(kProgram)).isExecutable(); }

    QString calendarPath(const QString& user, const QString& name) const override {
        return u'/' + user + u'/' + name + u'/';
    }

    /// Before `start`: only `user` with the password kPassword is let in (htpasswd); every
    /// other request answers 401.
    bool requirePassword(const QString& user) {
        return writeText(path("users"),
                         (user + u':' + QLatin1String(kPassword) + u'\n').toUtf8()) &&
               writeConfig(QStringLiteral("type = htpasswd\nhtpasswd_filename = %1\n"
                                          "htpasswd_encryption = plain")
                               .arg(path("users")));
    }

    /// From now on "/user/name/" may only be read (writes answer 403).
    bool makeReadOnly(const QString& user, const QString& name) {
        m_readOnly.append(user + u'/' + name);
        return writeRights();
    }

private:
    bool writeConfig(const QString& auth) {
        return writeText(path("config"),
                         QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\n%2\n"
                                        "[rights]\ntype = from_file\nfile = %3\n"
                                        "[storage]\nfilesystem_folder = %4\n"
                                        "[logging]\nlevel = error\n")
                             .arg(QString::number(port()), auth, path("rights"), storageFolder())
                             .toUtf8());
    }
    // The first matching section wins; collection patterns match the whole path. Radicale reads
    // the file again for every request.
    bool writeRights() {
        QString rights = QStringLiteral(
            "[root]\nuser: .+\ncollection:\npermissions: R\n\n"
            "[principal]\nuser: .+\ncollection: {user}\npermissions: RW\n");
        for (const QString& collection : m_readOnly) {
            rights += QStringLiteral(
                          "\n[readonly %1]\nuser: .+\ncollection: %1(/.*)?\n"
                          "permissions: r\n")
                          .arg(collection);
        }
        return writeText(path("rights"), (rights + QStringLiteral("\n[calendars]\nuser: .+\n"
                                                                  "collection: {user}/[^/]+(/.*)?\n"
                                                                  "permissions: rw\n"))
                                             .toUtf8());
    }

    QStringList m_readOnly;
};

/// Xandikos, a stricter and git-backed server: one principal "/user/" that asks for no
/// password, its calendars under "/user/calendars/". With a route prefix ("/dav/") it serves
/// only below it.
class XandikosServer final : public CalDavServer {
public:
    static constexpr const char* kProgram = "/usr/bin/xandikos";

    explicit XandikosServer(QString routePrefix = QStringLiteral("/"))
        : CalDavServer("xandikos", kProgram), m_prefix(std::move(routePrefix)) {
        setArguments({QStringLiteral("--defaults"), QStringLiteral("-d"), storageFolder(),
                      QStringLiteral("-l"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                      QString::number(port()), QStringLiteral("--route-prefix"), m_prefix});
    }

    static bool isInstalled() { return QFileInfo(QLatin1String(kProgram)).isExecutable(); }

    QString calendarPath(const QString&, const QString& name) const override {
        return m_prefix + QStringLiteral("user/calendars/") + name + u'/';
    }

private:
    QString m_prefix;
};

/// A web front on its own loopback port for a XandikosServer served below "/dav/", as a web
/// server puts one: its root does not speak WebDAV (405), "/.well-known/caldav" redirects to
/// `wellKnown` (a path of the front's, or another address), everything below "/dav/" is passed on.
class DavFront final : public CalDavServer {
public:
    DavFront(const XandikosServer& backend, const QString& wellKnown)
        : CalDavServer("front", "/usr/bin/python3"), m_backend(backend) {
        setArguments({QStringLiteral(ZORBEL_DAV_FRONT), QString::number(port()),
                      QString::number(backend.port()), wellKnown});
    }

    QString calendarPath(const QString& user, const QString& name) const override {
        return m_backend.calendarPath(user, name);
    }

private:
    const XandikosServer& m_backend;
};

/// One server of each kind installed here, not started yet.
inline std::vector<std::unique_ptr<CalDavServer>> installedCalDavServers() {
    std::vector<std::unique_ptr<CalDavServer>> servers;
    if (RadicaleServer::isInstalled()) servers.push_back(std::make_unique<RadicaleServer>());
    if (XandikosServer::isInstalled()) servers.push_back(std::make_unique<XandikosServer>());
    return servers;
}

}  // namespace zorbel::test
