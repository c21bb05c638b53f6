#pragma once

#include <qcoro/qcorotask.h>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "core/CaptureServices.h"
#include "core/CredentialStoring.h"
#include "core/ExtractedEvent.h"
#include "core/LLMError.h"
#include "llm/LLMPreset.h"
#include "llm/ProviderResolution.h"
#include "support/Preferences.h"

class QNetworkAccessManager;

class QObject;

namespace zorbel {

class LocalDiscovery;

/// Where the client looks for local model servers and how long it waits for them and for
/// providers. The defaults are the product's; tests point the servers at their own loopback
/// ports and shorten the time limits.
struct LLMClientOptions {
    QString ollamaBaseURL = QStringLiteral("http://127.0.0.1:11434/v1");
    QString lmstudioBaseURL = QStringLiteral("http://127.0.0.1:1234/v1");
    /// Where an `ollama` executable may be installed, in the order they are tried.
    QStringList ollamaExecutables = {QStringLiteral("/usr/local/bin/ollama"),
                                     QStringLiteral("/usr/bin/ollama"),
                                     QStringLiteral("/snap/bin/ollama")};
    int requestTimeoutMs = 60000;    ///< a model request without data moving
    int resourceTimeoutMs = 180000;  ///< a whole model request
    int probeTimeoutMs = 2000;       ///< each local server probe
    int rescanDelayMs = 4000;        ///< from starting `ollama serve` to the next scan
    int modelListTimeoutMs = 15000;  ///< a provider's model list
    /// The current instant: told to the model, and the reference of the built-in rules.
    std::function<QDateTime()> now = &QDateTime::currentDateTimeUtc;
    /// A provider used for this client's requests instead of the one chosen in the settings
    /// (the command line's --preset); nothing is written to the preferences.
    std::optional<QString> presetOverride = std::nullopt;
};

/// The language-model client: provider presets and their settings, local server discovery, the
/// secret cache, and the chat-completions request that turns a capture into candidate events.
///
/// Threads: everything except the static reader functions runs on the GUI thread; network
/// answers are handed back to it. Secrets are read from the credential store and cached in
/// memory; they never reach the preferences or the log.
class LLMClient final : public EventExtracting {
public:
    using LLMError = zorbel::LLMError;
    using LLMPreset = zorbel::LLMPreset;

    using ResolvedConfig = zorbel::ResolvedConfig;

    /// The model used for Ollama when the user chose none.
    static constexpr const char* defaultModel = "qwen2.5vl:3b";

    LLMClient(std::shared_ptr<Preferences> defaults, std::shared_ptr<CredentialStoring> credentials,
              LLMClientOptions options = {});
    ~LLMClient() override;
    LLMClient(const LLMClient&) = delete;
    LLMClient& operator=(const LLMClient&) = delete;

    /// The provider table, in menu order.
    static const QList<LLMPreset>& presets();
    /// The preset with exactly this id; the auto preset for an unknown one.
    static const LLMPreset& preset(const QString& id);
    /// Whether a model of this name can read pictures (a case-insensitive name test).
    static bool isVisionModel(const QString& model);

    /// The chosen preset ("llm.preset", first taken over from the older "llm.provider").
    LLMPreset currentPreset() const;
    void setCurrentPreset(const LLMPreset& preset);
    QString customBaseURL() const;
    void setCustomBaseURL(const QString& url);
    QString selectedModel() const;
    void setSelectedModel(const QString& model);
    /// The key of the custom preset.
    QCoro::Task<QString> apiKey();
    QCoro::Task<bool> setApiKey(QString key);
    /// The preset's API key: from the in-memory cache, else from the secret store, then cached.
    /// A key that is not stored is empty; a store failure is logged as "credentialRead" and
    /// gives an empty key too.
    QCoro::Task<QString> key(LLMPreset preset);
    /// Caches the key and stores it (an empty key deletes the stored one). Returns whether the
    /// secret store took the change; the cached key is used by this process either way.
    QCoro::Task<bool> setKey(QString key, LLMPreset preset);
    /// The model chosen for the preset ("llm.model" for auto and custom, else per preset).
    QString model(const LLMPreset& preset) const;
    void setModel(const QString& model, const LLMPreset& preset);
    QStringList savedModelList(const LLMPreset& preset) const;
    void saveModelList(const QStringList& models, const LLMPreset& preset);

    /// The server, key and model of the next request, or nothing when no provider can serve.
    /// The key is the one `key` has cached (empty before it was awaited).
    std::optional<ResolvedConfig> resolvedConfig() const;

    /// Whether the next capture is read by the built-in rules: their own preset, or the auto
    /// preset while the last scan found no local model.
    bool usesBuiltinRules() const;
    /// On the auto preset, looks for local servers again, so that a server started or stopped
    /// since the last look decides the next capture's route; nothing on any other preset.
    QCoro::Task<> refreshRoute();

    ProviderRoute providerRoute() const override;
    bool supportsVisionInput() const override;
    /// Events in `text` read by the model, each with `sourceText` = `text`. Throws LLMError
    /// (noProvider, httpStatus, badResponse), NetworkError (transport; `cancelled` when the token
    /// is cancelled during the request) or CancelledError (cancelled before it was sent).
    QCoro::Task<QList<ExtractedEvent>> extractEvents(QString text, QString source,
                                                     CancellationToken token) override;
    /// Events in a picture, each with `sourceText` "（图片）". Throws as above.
    QCoro::Task<QList<ExtractedEvent>> extractEvents(PreparedImage image, QString source,
                                                     CancellationToken token) override;

    /// Probes Ollama and LM Studio on the loopback interface; the results replace the model lists
    /// and the discovery's `scanFinished` is signalled. When Ollama does not answer and an
    /// `ollama` executable exists, the first scan of the client starts `ollama serve` instead
    /// and scans again after a short delay. Completes once the results are in; callers that only
    /// want the callback need not wait.
    QCoro::Task<> scanLocalProviders();
    /// The local servers; its `scanFinished` tells every listener of a look that took results.
    const LocalDiscovery& discovery() const { return *m_discovery; }
    QStringList ollamaModels() const;
    QStringList lmstudioModels() const;
    bool ollamaServiceReachable() const;
    bool didAttemptOllamaLaunch() const;

    /// The model identifiers a cloud provider offers. Throws LLMError `noProvider` (no or bad
    /// base URL), `httpStatus`, `badResponse` (unexpected body), or NetworkError.
    QCoro::Task<QStringList> fetchRemoteModels(LLMPreset preset);

private:
    QString knownKey(const QString& id) const;
    QCoro::Task<QString> chatCompletion(QJsonObject userMessage, CancellationToken token);
    QNetworkAccessManager* session();

    std::shared_ptr<Preferences> m_defaults;
    std::shared_ptr<CredentialStoring> m_credentials;
    LLMClientOptions m_options;
    QHash<QString, QString> m_credentialCache;
    std::unique_ptr<QNetworkAccessManager> m_session;
    /// The local servers; gone with the client, so its late work and callbacks end with it.
    std::unique_ptr<LocalDiscovery> m_discovery;
};

}  // namespace zorbel
