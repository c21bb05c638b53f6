#pragma once

#include <QLoggingCategory>
#include <QString>

#include "support/AppLogEvent.h"

namespace zorbel {

/// The logging interface every subsystem records through.
class AppLogging {
public:
    virtual ~AppLogging() = default;
    /// Emits the event. Never fails; callable from any thread.
    virtual void record(const AppLogEvent& event) = 0;
};

/// Writes events to the "com.zorbel.app.product" logging category at info level, one line
/// "event=<rendering>" each. Nothing is rendered when that level is disabled.
/// Thread safety: `shared()` and `record()` may be called from any thread.
class AppLogger final : public AppLogging {
public:
    /// The category name: subsystem "com.zorbel.app", category "product".
    static constexpr const char* kCategory = "com.zorbel.app.product";
    /// The legacy debug log the program never writes and removes once.
    static constexpr const char* kLegacyDebugLogPath = "/tmp/zorbel_debug.log";

    AppLogger();

    /// The one process-wide logger, created on first use.
    static AppLogger& shared();

    void record(const AppLogEvent& event) override;

    /// Deletes the legacy debug log; every error (most often: no such file) is ignored.
    static void removeLegacyDebugLog(const QString& path = QLatin1String(kLegacyDebugLogPath));

    /// The category itself, for the level check.
    const QLoggingCategory& category() const { return m_category; }

private:
    QLoggingCategory m_category;
};

}  // namespace zorbel
