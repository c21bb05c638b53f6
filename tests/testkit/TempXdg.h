#pragma once

#include <sys/stat.h>
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

#include "support/Preferences.h"

namespace zorbel::test {

/// Gives the current test its own XDG config, data, cache and state folders (and a fresh
/// standard preference store over them); restores the previous ones when it goes away.
class TempXdg {
public:
    TempXdg() {
        for (const char* folder : {"config", "data", "cache", "state"}) {
            const QByteArray variable = "XDG_" + QByteArray(folder).toUpper() + "_HOME";
            const QString path = m_dir.path() + u'/' + QLatin1String(folder);
            QDir().mkpath(path);
            m_saved.emplace_back(variable, qgetenv(variable));
            qputenv(variable, path.toUtf8());
        }
        Preferences::setStandard(nullptr);
    }
    ~TempXdg() {
        for (const auto& [variable, value] : m_saved) qputenv(variable.constData(), value);
        Preferences::setStandard(nullptr);
    }
    TempXdg(const TempXdg&) = delete;
    TempXdg& operator=(const TempXdg&) = delete;

    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }

private:
    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, QByteArray>> m_saved;
};

/// Whether any file under `folder`, at any depth, contains `needle` (a secret that must not
/// have been written out).
inline bool anyFileContains(const QString& folder, const QByteArray& needle) {
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle)) return true;
    }
    return false;
}

/// The permission bits of `path` itself (not of what a link there points to); 0 when absent.
inline unsigned fileMode(const QString& path) {
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

/// The contents of `path`, empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Writes `bytes` to `path`; throws when it cannot.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write the file");
    }
}

}  // namespace zorbel::test
