#include "testkit/SecretStoreSession.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcessEnvironment>
#include <stdexcept>

#include "testkit/EventLoop.h"

namespace zorbel::test {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kStartTimeoutMs = 10000;

void require(bool condition, const char* what) {
    if (!condition) throw std::runtime_error(what);
}

}  // namespace

SecretStoreSession::SecretStoreSession(Service service)
    : m_savedAddress(qgetenv("DBUS_SESSION_BUS_ADDRESS")) {
    require(m_dir.isValid(), "no temporary folder for the secret store");
    const QString runtime = m_dir.path() + u"/run"_s;
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(keyringFolder());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, m_dir.path());
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    environment.insert(u"XDG_DATA_HOME"_s, m_dir.path() + u"/data"_s);
    m_bus.setProcessEnvironment(environment);

    start(m_bus, u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    require(spinUntil([this] { return m_bus.canReadLine(); }, kStartTimeoutMs),
            "the private session bus did not start");
    const QByteArray address = m_bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromUtf8(address));
    if (service == Service::none) return;

    // Log in with a password on standard input, which creates and unlocks the login keyring.
    m_keyring.setProcessEnvironment(environment);
    start(m_keyring, u"gnome-keyring-daemon"_s,
          {u"--foreground"_s, u"--login"_s, u"--components=secrets"_s});
    m_keyring.write("test-password");
    m_keyring.closeWriteChannel();
    const QString control = runtime + u"/keyring/control"_s;
    require(spinUntil([&] { return QFile::exists(control); }, kStartTimeoutMs),
            "gnome-keyring did not start");

    QProcess starter;
    starter.setProcessEnvironment(environment);
    start(starter, u"gnome-keyring-daemon"_s, {u"--start"_s, u"--components=secrets"_s});
    require(starter.waitForFinished(kStartTimeoutMs), "gnome-keyring did not take the start");

    QDBusConnection bus = QDBusConnection::sessionBus();
    require(spinUntil(
                [&] { return bus.interface()->isServiceRegistered(u"org.freedesktop.secrets"_s); },
                kStartTimeoutMs),
            "the Secret Service did not appear on the bus");
}

SecretStoreSession::~SecretStoreSession() {
    for (QProcess* process : {&m_keyring, &m_bus}) {
        process->terminate();
        if (!process->waitForFinished(3000)) process->kill();
        process->waitForFinished(3000);
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_savedAddress);
}

QString SecretStoreSession::keyringFolder() const {
    return m_dir.path() + u"/data/keyrings"_s;
}

void SecretStoreSession::start(QProcess& process, const QString& program,
                               const QStringList& arguments) {
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    require(process.waitForStarted(kStartTimeoutMs), "a secret store daemon did not start");
}

}  // namespace zorbel::test
