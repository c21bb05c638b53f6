#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>
#include <QtMessageHandler>
#include <cstring>

#include "support/AppLogger.h"

namespace zorbel::test {

/// Collects the lines written to the product log category while it exists.
/// One at a time; installs a Qt message handler and restores the previous one.
class LogCapture {
public:
    LogCapture() {
        active() = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() {
        qInstallMessageHandler(m_previous);
        active() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    /// The product log lines so far, "event=..." each.
    QStringList lines() const {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    /// The failure codes logged so far, in order (`failure(code: "x")` gives x).
    QStringList failureCodes() const {
        static const QRegularExpression failure(
            QStringLiteral("^event=failure\\(code: \"(.*)\"\\)$"));
        QStringList codes;
        for (const QString& line : lines()) {
            if (const auto match = failure.match(line); match.hasMatch())
                codes << match.captured(1);
        }
        return codes;
    }
    void clear() {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

private:
    static LogCapture*& active() {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        LogCapture* capture = active();
        if (capture && type == QtInfoMsg && context.category &&
            std::strcmp(context.category, AppLogger::kCategory) == 0) {
            QMutexLocker lock(&capture->m_mutex);
            capture->m_lines.append(text);
        }
    }

    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

}  // namespace zorbel::test
