#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace zorbel::test {

/// Gives the current test its own XDG config, data, cache and state folders (and a fresh
/// standard preference store over them); restores the previous ones when it goes away.
class TempXdg {
public:
    TempXdg();
    ~TempXdg();
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
bool anyFileContains(const QString& folder, const QByteArray& needle);

}  // namespace zorbel::test
