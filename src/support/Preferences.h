#pragma once

#include <QMutex>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

namespace zorbel {

/// The user preference store: one INI file per domain in $XDG_CONFIG_HOME
/// ("com.zorbel.app.conf" for the standard store).
///
/// Thread safety: every operation may be called from any thread.
/// Values keep their type only as far as INI text allows; the typed readers below give the
/// answer callers expect of a stored boolean, number or text and never fail.
class Preferences {
public:
    /// The domain of the standard store.
    static constexpr const char* kStandardDomain = "com.zorbel.app";

    /// Opens the store of `domain` under the current $XDG_CONFIG_HOME. The file it writes is
    /// readable by the user only (mode 0600).
    explicit Preferences(const QString& domain);

    /// The process-wide standard store, opened on first use.
    static std::shared_ptr<Preferences> standard();
    /// Replaces the process-wide store (tests); nullptr makes the next `standard()` reopen it.
    static void setStandard(std::shared_ptr<Preferences> store);

    /// The path of the INI file that holds the domain.
    QString filePath() const;

    bool contains(const QString& key) const;
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    /// Every key in the store, in no particular order.
    QStringList allKeys() const;

    /// The text stored under `key`, or nothing when absent or not text-like.
    std::optional<QString> string(const QString& key) const;
    /// true/false as stored (also "true"/"1"/"yes" text from an INI file); false when absent.
    bool boolean(const QString& key) const;
    /// Whole number stored under `key`, or nothing when absent or not a number.
    std::optional<qint64> integer(const QString& key) const;
    /// Number stored under `key`, or nothing when absent or not a number.
    std::optional<double> number(const QString& key) const;

    /// Writes pending changes to disk.
    void sync();

private:
    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    bool m_filePrivate = false;
};

}  // namespace zorbel
