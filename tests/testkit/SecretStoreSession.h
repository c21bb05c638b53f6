#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <stdexcept>

#include "testkit/EventLoop.h"

namespace zorbel::test {

/// A private D-Bus session bus with an unlocked gnome-keyring serving the Secret Service, in
/// temporary folders. While it lives, DBUS_SESSION_BUS_ADDRESS of this process points at that
/// bus, so construct it before the secret store is first used (D-Bus libraries keep their first
/// session connection). Stops both daemons and restores the variable when it goes away.
class SecretStoreSession {
public:
    /// What serves the Secret Service on the bus.
    enum class Service {
        keyring,  ///< an unlocked gnome-keyring
        none,     ///< nothing: the test registers its own
    };

    explicit SecretStoreSession(Service service = Service::keyring)
        : m_savedAddress(qgetenv("DBUS_SESSION_BUS_ADDRESS")) {
        require(m_dir.isValid(), "no temporary folder for the secret store");
        const QString runtime = m_dir.path() + QStringLiteral("/run");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(m_dir.path() + QStringLiteral("/data/keyrings"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_dir.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.path() + QStringLiteral("/data"));

        start(m_bus, environment, {"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        require(spinUntil([this] { return m_bus.canReadLine(); }, kStartTimeoutMs),
                "the private session bus did not start");
        const QByteArray address = m_bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address));
        if (service == Service::none) return;

        // Log in with a password on standard input, which creates and unlocks the login keyring.
        start(m_keyring, environment,
              {"gnome-keyring-daemon", "--foreground", "--login", "--components=secrets"});
        m_keyring.write("test-password");
        m_keyring.closeWriteChannel();
        const QString control = runtime + QStringLiteral("/keyring/control");
        require(spinUntil([&] { return QFile::exists(control); }, kStartTimeoutMs),
                "gnome-keyring did not start");
        QProcess starter;
        start(starter, environment, {"gnome-keyring-daemon", "--start", "--components=secrets"});
        require(starter.waitForFinished(kStartTimeoutMs), "gnome-keyring did not take the start");
        require(spinUntil(
                    [] {
                        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                            QStringLiteral("org.freedesktop.secrets"));
                    },
                    kStartTimeoutMs),
                "the Secret Service did not appear on the bus");
    }
    ~SecretStoreSession() {
        for (QProcess* process : {&m_keyring, &m_bus}) {
            process->terminate();
            if (!process->waitForFinished(3000)) process->kill();
            process->waitForFinished(3000);
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_savedAddress);
    }
    SecretStoreSession(const SecretStoreSession&) = delete;
    SecretStoreSession& operator=(const SecretStoreSession&) = delete;

private:
    static constexpr int kStartTimeoutMs = 10000;

    static void require(bool condition, const char* what) {
        if (!condition) throw std::runtime_error(what);
    }
    static void start(QProcess& process, const QProcessEnvironment& environment,
                      std::initializer_list<const char*> command) {
        QStringList words;
        for (const char* word : command) words << QString::fromLatin1(word);
        process.setProcessEnvironment(environment);
        process.setProgram(words.takeFirst());
        process.setArguments(words);
        process.start();
        require(process.waitForStarted(kStartTimeoutMs), "a secret store daemon did not start");
    }

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
    QByteArray m_savedAddress;
};

}  // namespace zorbel::test
