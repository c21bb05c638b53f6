#include "support/Module.h"

#include <QCoreApplication>
#include <QLibrary>

#include "support/AppLogger.h"

namespace zorbel {

QString moduleBesideProgram(const QString& name) {
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(ZORBEL_MODULE_DIR) + u'/' +
           name;
}

QFunctionPointer resolveModuleEntry(const QString& path, const char* entry,
                                    const char* failureCode) {
    // The QLibrary object may go: without unload() the module stays.
    QLibrary library(path);
    const QFunctionPointer function = library.load() ? library.resolve(entry) : nullptr;
    if (!function) {
        AppLogger::shared().record(AppLogEvent::failure(QLatin1String(failureCode)));
        qCWarning(AppLogger::shared().category()) << library.errorString();
    }
    return function;
}

}  // namespace zorbel
