#include "support/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace zorbel {

QString privateFolder() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty()) base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.cache");
    QDir().mkpath(base);
    const QString folder = base + QStringLiteral("/zorbel");
    const QByteArray native = QFile::encodeName(folder);
    mkdir(native.constData(), 0700);
    struct stat info {};
    if (lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid() || (info.st_mode & 0777) != 0700) {
        return {};
    }
    return folder;
}

}  // namespace zorbel
