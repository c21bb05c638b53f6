#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

namespace zorbel::test {

/// A real Radicale CalDAV server on a free loopback port with its own storage folder and
/// rights: any user name with any password is that user; every user may read and write their
/// own calendars except those made read-only.
/// Stops when it goes away; can be stopped and started again (same port, same storage).
class RadicaleServer {
public:
    /// The server program, called by full path (another python3 may come first on PATH).
    static constexpr const char* kProgram = "/usr/bin/radicale";
    /// The password `request` sends, and the only one `requirePassword` accepts.
    static constexpr const char* kPassword = "pw";

    RadicaleServer();
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    static bool isInstalled();

    /// Starts the server and waits until it answers HTTP; false when it does not within 15 s.
    bool start();
    /// Stops the server now; requests after this are refused.
    void stop();

    /// "http://127.0.0.1:PORT/".
    QUrl url() const;
    QString storageFolder() const { return m_dir.path() + QStringLiteral("/storage"); }

    /// Before `start`: only `user` with the password kPassword is let in (htpasswd); every
    /// other request answers 401.
    bool requirePassword(const QString& user);

    /// One blocking request as `user` (Basic auth with kPassword); the HTTP status, 0 without
    /// an answer. `body` receives the answer's body when given.
    int request(const QByteArray& verb, const QString& path, const QByteArray& data = {},
                const QString& user = QStringLiteral("alice"), QByteArray* body = nullptr);

    /// Makes the calendar collection "/user/name/" with a display name, a colour (none when
    /// empty) and the component types it holds ("VEVENT", "VTODO"); true on 201.
    bool makeCalendar(const QString& user, const QString& name, const QString& displayName,
                      const QString& color, const QString& component = QStringLiteral("VEVENT"));

    /// From now on "/user/name/" may only be read (writes answer 403).
    bool makeReadOnly(const QString& user, const QString& name);

private:
    bool writeConfig(const QString& auth);
    bool writeRights();

    QTemporaryDir m_dir;
    QStringList m_readOnly;
    QProcess m_process;
    quint16 m_port = 0;
};

}  // namespace zorbel::test
