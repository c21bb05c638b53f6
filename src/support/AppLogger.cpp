#include "support/AppLogger.h"

#include <QFile>

namespace zorbel {

AppLogger::AppLogger() : m_category(kCategory, QtInfoMsg) {}

AppLogger& AppLogger::shared() {
    static AppLogger logger;  // thread-safe one-time initialisation
    return logger;
}

void AppLogger::record(const AppLogEvent& event) {
    if (!m_category.isInfoEnabled()) return;
    qCInfo(m_category).noquote() << QString(QLatin1String("event=") + event.rendered());
}

void AppLogger::removeLegacyDebugLog(const QString& path) {
    QFile::remove(path);
}

}  // namespace zorbel
