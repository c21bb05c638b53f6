#include "support/Autostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace zorbel::Autostart {

namespace {

QString autostartFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/");
}

/// The entry as earlier versions named it, before it took the application's id.
QString legacyEntryPath() {
    return autostartFolder() + QStringLiteral("zorbel.desktop");
}

bool removed(const QString& path) {
    return !QFile::exists(path) || QFile::remove(path);
}

}  // namespace

QString entryPath() {
    return autostartFolder() + QStringLiteral("com.zorbel.app.desktop");
}

bool isEnabled() {
    return QFile::exists(entryPath()) || QFile::exists(legacyEntryPath());
}

bool setEnabled(bool enabled, const QString& executable) {
    // Either way an entry of the earlier name goes: enabled, the new one takes its place.
    if (!removed(legacyEntryPath())) return false;
    const QString path = entryPath();
    if (!enabled) return removed(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // Exec quoting of the desktop entry format: the path in double quotes, with \ " ` $ escaped.
    QString quoted = executable;
    for (const QChar special : {u'\\', u'"', u'`', u'$'}) {
        quoted.replace(special, QStringLiteral("\\") + special);
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Zorbel\n"
                              "Name[zh_CN]=Zorbel 日程球\n"
                              "Icon=zorbel\n"
                              "Exec=\"") +
                          quoted + QStringLiteral("\"\nX-GNOME-Autostart-enabled=true\n");
    file.write(entry.toUtf8());
    return file.commit();
}

}  // namespace zorbel::Autostart
