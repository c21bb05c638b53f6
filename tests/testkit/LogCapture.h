#pragma once

#include <QMutex>
#include <QStringList>
#include <QtMessageHandler>

namespace zorbel::test {

/// Collects the lines written to the product log category while it exists.
/// One at a time; installs a Qt message handler and restores the previous one.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    /// The product log lines so far, "event=..." each.
    QStringList lines() const;
    /// The failure codes logged so far, in order (`failure(code: "x")` gives x).
    QStringList failureCodes() const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);
    QtMessageHandler m_previous;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

}  // namespace zorbel::test
