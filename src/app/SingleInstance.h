#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace zorbel {

/// Keeps a copy running from a mounted AppImage from running beside an installed copy. Running
/// copies find each other through a per-user local socket: the first copy listens on it, a new
/// copy connects. GUI thread only.
///
/// A new copy from a mounted image gives way (after the alert); a new installed copy asks the
/// listening copy to quit if that one runs from a mounted image. Two installed copies may run
/// side by side.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    /// The path prefix of a program running from a mounted AppImage.
    static constexpr const char* kMountPrefix = "/tmp/.mount_";

    /// What the listening copy does when asked to give way, and the alert a giving-way copy shows.
    struct Actions {
        std::function<void()> terminate;
        std::function<void()> showAlert;
    };

    /// `serverName` is a socket name or path; `executablePath` this copy's program.
    SingleInstance(QString serverName, QString executablePath, Actions actions);
    ~SingleInstance() override;

    /// The per-user socket in `privateFolder()`; empty (no instance check) without that folder.
    static QString defaultServerName();
    static bool isMountedImage(const QString& path);

    /// False means this copy must quit. With no other copy running, this copy starts listening.
    bool ensureSingleInstance();

private:
    void listen();

    QString m_serverName;
    QString m_executablePath;
    Actions m_actions;
    QLocalServer m_server;
};

/// The modal alert of a copy that gives way to an installed one.
void showMountedCopyAlert();

}  // namespace zorbel
