#pragma once

#include <qcoro/qcorotask.h>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "support/Preferences.h"

namespace zorbel {

/// Where local model servers are looked for and how long a look may take.
struct LocalDiscoveryOptions {
    QString ollamaBaseURL;
    QString lmstudioBaseURL;
    QStringList ollamaExecutables;  ///< where an `ollama` program may be, in the order tried
    int probeTimeoutMs;             ///< each server probe
    int rescanDelayMs;              ///< from starting `ollama serve` to the next look
};

/// The local model servers on this machine: Ollama and LM Studio probed on loopback, the models
/// each offers, and `ollama serve` started once when Ollama does not answer but is installed.
/// The model lists of the last look are kept in the preferences, so a new start knows them
/// before its first look. GUI thread only.
class LocalDiscovery final : public QObject {
    Q_OBJECT
public:
    LocalDiscovery(std::shared_ptr<Preferences> defaults, LocalDiscoveryOptions options);

    /// Looks at both servers; when this starts `ollama serve` instead, looks again after the
    /// delay. Completes once results are in (and `scanFinished` was queued).
    QCoro::Task<> scan();
    /// One look; false when it started `ollama serve` instead of taking results.
    QCoro::Task<bool> lookOnce();
    /// One look after the delay, not awaited (after `ollama serve` was started).
    void lookLater();

    QStringList ollamaModels() const { return m_ollamaModels; }
    QStringList lmstudioModels() const { return m_lmstudioModels; }
    bool ollamaServiceReachable() const { return m_ollamaServiceReachable; }
    bool didAttemptOllamaLaunch() const { return m_didAttemptOllamaLaunch; }

Q_SIGNALS:
    /// Queued on the GUI thread after each look that took its results.
    void scanFinished();

private:
    bool launchOllamaIfInstalled();

    std::shared_ptr<Preferences> m_defaults;
    LocalDiscoveryOptions m_options;
    QStringList m_ollamaModels;
    QStringList m_lmstudioModels;
    bool m_ollamaServiceReachable = false;
    bool m_didAttemptOllamaLaunch = false;
};

}  // namespace zorbel
