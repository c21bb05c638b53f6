#include "testkit/LogCapture.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <cstring>

#include "support/AppLogger.h"

namespace zorbel::test {

namespace {
LogCapture* g_active = nullptr;
}

LogCapture::LogCapture() {
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(m_previous);
    g_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_active && type == QtInfoMsg && context.category &&
        std::strcmp(context.category, AppLogger::kCategory) == 0) {
        QMutexLocker lock(&g_active->m_mutex);
        g_active->m_lines.append(text);
    }
}

QStringList LogCapture::lines() const {
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

QStringList LogCapture::failureCodes() const {
    static const QRegularExpression failure(QStringLiteral("^event=failure\\(code: \"(.*)\"\\)$"));
    QStringList codes;
    for (const QString& line : lines()) {
        const QRegularExpressionMatch match = failure.match(line);
        if (match.hasMatch()) codes.append(match.captured(1));
    }
    return codes;
}

void LogCapture::clear() {
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}

}  // namespace zorbel::test
