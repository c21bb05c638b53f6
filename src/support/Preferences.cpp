#include "support/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStandardPaths>

namespace zorbel {

namespace {

QMutex g_standardMutex;
std::shared_ptr<Preferences> g_standard;

}  // namespace

Preferences::Preferences(const QString& domain) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    m_settings = std::make_unique<QSettings>(dir + u'/' + domain + QStringLiteral(".conf"),
                                             QSettings::IniFormat);
}

std::shared_ptr<Preferences> Preferences::standard() {
    QMutexLocker lock(&g_standardMutex);
    if (!g_standard) g_standard = std::make_shared<Preferences>(QLatin1String(kStandardDomain));
    return g_standard;
}

void Preferences::setStandard(std::shared_ptr<Preferences> store) {
    QMutexLocker lock(&g_standardMutex);
    g_standard = std::move(store);
}

QString Preferences::filePath() const {
    QMutexLocker lock(&m_mutex);
    return m_settings->fileName();
}

bool Preferences::contains(const QString& key) const {
    QMutexLocker lock(&m_mutex);
    return m_settings->contains(key);
}

QVariant Preferences::value(const QString& key) const {
    QMutexLocker lock(&m_mutex);
    return m_settings->value(key);
}

void Preferences::setValue(const QString& key, const QVariant& value) {
    QMutexLocker lock(&m_mutex);
    if (!m_filePrivate) {
        // QSettings replaces its file keeping the old one's mode: make that 0600 before it writes.
        QFile file(m_settings->fileName());
        QDir().mkpath(QFileInfo(file).absolutePath());
        constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        m_filePrivate = file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly) ||
                        file.setPermissions(ownerOnly);
    }
    m_settings->setValue(key, value);
}

void Preferences::remove(const QString& key) {
    QMutexLocker lock(&m_mutex);
    m_settings->remove(key);
}

QStringList Preferences::allKeys() const {
    QMutexLocker lock(&m_mutex);
    return m_settings->allKeys();
}

std::optional<QString> Preferences::string(const QString& key) const {
    const QVariant v = value(key);
    const int type = v.typeId();
    if (type == QMetaType::QString || type == QMetaType::QByteArray || type == QMetaType::Bool ||
        type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double) {
        return v.toString();
    }
    return std::nullopt;
}

bool Preferences::boolean(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == u"true" || s == u"yes" || s == u"1";
    }
    return v.toBool();
}

std::optional<qint64> Preferences::integer(const QString& key) const {
    bool ok = false;
    const qint64 n = value(key).toLongLong(&ok);
    if (ok) return n;
    const std::optional<double> d = number(key);
    if (d && *d >= -9.2e18 && *d <= 9.2e18) return static_cast<qint64>(*d);
    return std::nullopt;
}

std::optional<double> Preferences::number(const QString& key) const {
    bool ok = false;
    const double d = value(key).toDouble(&ok);
    if (ok) return d;
    return std::nullopt;
}

void Preferences::sync() {
    QMutexLocker lock(&m_mutex);
    m_settings->sync();
}

}  // namespace zorbel
