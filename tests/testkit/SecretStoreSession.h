#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

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

    explicit SecretStoreSession(Service service = Service::keyring);
    ~SecretStoreSession();
    SecretStoreSession(const SecretStoreSession&) = delete;
    SecretStoreSession& operator=(const SecretStoreSession&) = delete;

    /// The folder holding the keyring files.
    QString keyringFolder() const;

private:
    void start(QProcess& process, const QString& program, const QStringList& arguments);

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
    QByteArray m_savedAddress;
};

}  // namespace zorbel::test
