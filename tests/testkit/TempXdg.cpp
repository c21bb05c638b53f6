#include "testkit/TempXdg.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "support/Preferences.h"

namespace zorbel::test {

namespace {

constexpr std::pair<const char*, const char*> kFolders[] = {
    {"XDG_CONFIG_HOME", "/config"},
    {"XDG_DATA_HOME", "/data"},
    {"XDG_CACHE_HOME", "/cache"},
    {"XDG_STATE_HOME", "/state"},
};

}  // namespace

TempXdg::TempXdg() {
    for (const auto& [variable, folder] : kFolders) {
        const QString path = m_dir.path() + QLatin1String(folder);
        QDir().mkpath(path);
        m_saved.emplace_back(variable, qgetenv(variable));
        qputenv(variable, path.toUtf8());
    }
    Preferences::setStandard(nullptr);
}

TempXdg::~TempXdg() {
    for (const auto& [variable, value] : m_saved) qputenv(variable.constData(), value);
    Preferences::setStandard(nullptr);
}

bool anyFileContains(const QString& folder, const QByteArray& needle) {
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle)) return true;
    }
    return false;
}

}  // namespace zorbel::test
