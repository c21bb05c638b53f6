// The client's provider settings, local discovery and request path.

#include "llm/LLMClient.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QNetworkAccessManager>

#include "llm/ChatRequest.h"
#include "llm/EventReader.h"
#include "llm/KeychainCredentialStore.h"
#include "llm/LocalDiscovery.h"
#include "support/AppLogger.h"
#include "support/HttpExchange.h"
#include "support/Text.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kPresetKey = u"llm.preset"_s;
const QString kLegacyProviderKey = u"llm.provider"_s;
const QString kBaseURLKey = u"llm.baseURL"_s;
const QString kModelKey = u"llm.model"_s;

void logFailure(const QString& code) {
    AppLogger::shared().record(AppLogEvent::failure(code));
}

QString presetKey(const LLMPreset& preset, const QString& field) {
    return u"llm.preset."_s + preset.id + u'.' + field;
}

/// The largest chat reply read.
constexpr qint64 kMaxReplyBytes = 8 << 20;

/// A request to `url` that carries `key`; refused when the key would cross the network in clear.
QNetworkRequest keyedRequest(const QUrl& url, const QString& key) {
    QNetworkRequest request(url);
    if (!addBearer(request, key)) {
        logFailure(u"insecureBaseURL"_s);
        throw LLMError::of(LLMError::Kind::insecureURL);
    }
    return request;
}

bool isSuccess(int status) {
    return status >= 200 && status <= 299;
}

QList<ExtractedEvent> withSourceText(QList<ExtractedEvent> events, const QString& sourceText) {
    for (ExtractedEvent& event : events) event.sourceText = sourceText;
    return events;
}

}  // namespace

LLMClient::LLMClient(std::shared_ptr<Preferences> defaults,
                     std::shared_ptr<CredentialStoring> credentials, LLMClientOptions options)
    : m_defaults(std::move(defaults)),
      m_credentials(std::move(credentials)),
      m_options(std::move(options)),
      m_discovery(std::make_unique<LocalDiscovery>(
          m_defaults, LocalDiscoveryOptions{m_options.ollamaBaseURL, m_options.lmstudioBaseURL,
                                            m_options.ollamaExecutables, m_options.probeTimeoutMs,
                                            m_options.rescanDelayMs})) {}

LLMClient::~LLMClient() = default;

LLMPreset LLMClient::currentPreset() const {
    if (m_options.presetOverride) return preset(*m_options.presetOverride);
    if (const auto id = m_defaults->string(kPresetKey)) return preset(*id);
    const LLMPreset& migrated = preset(m_defaults->string(kLegacyProviderKey).value_or(u"auto"_s));
    m_defaults->setValue(kPresetKey, migrated.id);
    return migrated;
}

void LLMClient::setCurrentPreset(const LLMPreset& preset) {
    m_defaults->setValue(kPresetKey, preset.id);
}

QString LLMClient::customBaseURL() const {
    return m_defaults->string(kBaseURLKey).value_or(QString());
}

void LLMClient::setCustomBaseURL(const QString& url) {
    m_defaults->setValue(kBaseURLKey, url);
}

QString LLMClient::selectedModel() const {
    return m_defaults->string(kModelKey).value_or(QString());
}

void LLMClient::setSelectedModel(const QString& model) {
    m_defaults->setValue(kModelKey, model);
}

QCoro::Task<QString> LLMClient::apiKey() {
    co_return co_await key(preset(u"custom"_s));
}

QCoro::Task<bool> LLMClient::setApiKey(QString key) {
    co_return co_await setKey(std::move(key), preset(u"custom"_s));
}

QCoro::Task<QString> LLMClient::key(LLMPreset preset) {
    if (const auto cached = m_credentialCache.constFind(preset.id);
        cached != m_credentialCache.cend()) {
        co_return *cached;
    }
    try {
        const std::optional<QString> stored = co_await m_credentials->credential(preset.id);
        if (!stored) co_return QString();
        // A key set while the store was being read is newer than the stored one.
        if (!m_credentialCache.contains(preset.id)) m_credentialCache.insert(preset.id, *stored);
        co_return m_credentialCache.value(preset.id);
    } catch (const KeychainError&) {
        // Treated like a missing key: the request goes out without one.
        logFailure(u"credentialRead"_s);
        co_return QString();
    }
}

QCoro::Task<bool> LLMClient::setKey(QString key, LLMPreset preset) {
    m_credentialCache.insert(preset.id, key);
    try {
        if (key.isEmpty()) {
            co_await m_credentials->removeCredential(preset.id);
        } else {
            co_await m_credentials->setCredential(key, preset.id);
        }
        co_return true;
    } catch (const KeychainError&) {
        co_return false;
    }
}

QString LLMClient::knownKey(const QString& id) const {
    return m_credentialCache.value(id);
}

QString LLMClient::model(const LLMPreset& preset) const {
    if (preset.isEditable()) return selectedModel();
    return m_defaults->string(presetKey(preset, u"model"_s)).value_or(QString());
}

void LLMClient::setModel(const QString& model, const LLMPreset& preset) {
    if (preset.isEditable()) {
        setSelectedModel(model);
    } else {
        m_defaults->setValue(presetKey(preset, u"model"_s), model);
    }
}

QStringList LLMClient::savedModelList(const LLMPreset& preset) const {
    return m_defaults->value(presetKey(preset, u"models"_s)).toStringList();
}

void LLMClient::saveModelList(const QStringList& models, const LLMPreset& preset) {
    m_defaults->setValue(presetKey(preset, u"models"_s), models);
}

std::optional<LLMClient::ResolvedConfig> LLMClient::resolvedConfig() const {
    const LLMPreset current = currentPreset();
    return resolveProvider({current, selectedModel(), model(current), customBaseURL(),
                            knownKey(current.id), m_options.ollamaBaseURL,
                            m_options.lmstudioBaseURL, ollamaModels(), lmstudioModels(),
                            QString::fromLatin1(defaultModel)});
}

ProviderRoute LLMClient::providerRoute() const {
    const LLMPreset current = currentPreset();
    if (current.id == u"custom") {
        const auto config = resolvedConfig();
        return {current.id, false, config ? originOf(QUrl(config->baseURL)) : QString()};
    }
    return {current.id, current.isLocal() || current.id == u"auto"};
}

bool LLMClient::supportsVisionInput() const {
    const auto config = resolvedConfig();
    return config && isVisionModel(config->model);
}

QNetworkAccessManager* LLMClient::session() {
    if (!m_session) m_session = std::make_unique<QNetworkAccessManager>();
    return m_session.get();
}

bool LLMClient::usesBuiltinRules() const {
    const LLMPreset current = currentPreset();
    return current.isBuiltin() ||
           (current.id == u"auto" && ollamaModels().isEmpty() && lmstudioModels().isEmpty());
}

QCoro::Task<> LLMClient::refreshRoute() {
    if (currentPreset().id != u"auto") co_return;
    LocalDiscovery* const discovery = m_discovery.get();
    const bool applied = co_await discovery->lookOnce();
    // `ollama serve` was started: this capture goes on without it, the next may find it.
    if (!applied) discovery->lookLater();
}

QCoro::Task<QList<ExtractedEvent>> LLMClient::extractEvents(QString text, QString source,
                                                            CancellationToken token) {
    const QJsonObject message = ChatRequest::textUserMessage(text, source, m_options.now());
    const QString content = co_await chatCompletion(message, std::move(token));
    co_return withSourceText(parseEvents(content), text);
}

QCoro::Task<QList<ExtractedEvent>> LLMClient::extractEvents(PreparedImage image, QString source,
                                                            CancellationToken token) {
    const QJsonObject message = ChatRequest::imageUserMessage(image, source, m_options.now());
    const QString content = co_await chatCompletion(message, std::move(token));
    co_return withSourceText(parseEvents(content), u"（图片）"_s);
}

QCoro::Task<QString> LLMClient::chatCompletion(QJsonObject userMessage, CancellationToken token) {
    // Fills the key cache the configuration reads from; local servers take no key, so their
    // captures never wait on the secret store.
    if (const LLMPreset current = currentPreset(); !current.isLocal() && current.id != u"auto") {
        co_await key(current);
    }
    token.throwIfCancelled();
    const std::optional<ResolvedConfig> config = resolvedConfig();
    if (!config) {
        logFailure(u"noProvider"_s);
        throw LLMError::of(LLMError::Kind::noProvider);
    }
    const std::optional<QUrl> url = ChatRequest::endpoint(config->baseURL, u"/chat/completions"_s);
    if (!url) {
        logFailure(u"badBaseURL"_s);
        throw LLMError::of(LLMError::Kind::noProvider);
    }
    const ProviderRoute route = providerRoute();
    const QByteArray body = ChatRequest::requestBody(
        config->model, ChatRequest::makeSystemPrompt(*m_defaults), userMessage, route.isLocal);
    QNetworkRequest request = keyedRequest(*url, config->apiKey);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);

    QElapsedTimer clock;
    clock.start();
    HttpAnswer answer;
    try {
        answer = co_await exchange(
            session(), request, body,
            {m_options.requestTimeoutMs, m_options.resourceTimeoutMs, kMaxReplyBytes},
            std::move(token));
    } catch (const NetworkError&) {
        logFailure(u"llmRequest"_s);
        throw;
    }
    const qint64 duration = clock.elapsed();
    const auto finished = AppLogEvent::requestFinished(route.id, answer.status, duration);
    if (!isSuccess(answer.status)) {
        AppLogger::shared().record(finished);
        throw LLMError::httpStatus(answer.status);
    }
    std::optional<QString> content = ChatRequest::replyContent(answer.body);
    if (!content) {
        logFailure(u"badResponse"_s);
        throw LLMError::of(LLMError::Kind::badResponse);
    }
    AppLogger::shared().record(finished);
    co_return *std::move(content);
}

QCoro::Task<> LLMClient::scanLocalProviders() {
    LocalDiscovery* const discovery = m_discovery.get();
    co_await discovery->scan();
}

QStringList LLMClient::ollamaModels() const {
    return m_discovery->ollamaModels();
}
QStringList LLMClient::lmstudioModels() const {
    return m_discovery->lmstudioModels();
}
bool LLMClient::ollamaServiceReachable() const {
    return m_discovery->ollamaServiceReachable();
}
bool LLMClient::didAttemptOllamaLaunch() const {
    return m_discovery->didAttemptOllamaLaunch();
}

QCoro::Task<QStringList> LLMClient::fetchRemoteModels(LLMPreset preset) {
    if (!preset.baseURL) throw LLMError::of(LLMError::Kind::noProvider);
    const std::optional<QUrl> url = ChatRequest::endpoint(*preset.baseURL, u"/models"_s);
    if (!url) throw LLMError::of(LLMError::Kind::noProvider);
    const QNetworkRequest request = keyedRequest(*url, co_await key(preset));
    const int timeoutMs = std::min(m_options.requestTimeoutMs, m_options.modelListTimeoutMs);

    QNetworkAccessManager listSession;
    QElapsedTimer clock;
    clock.start();
    HttpAnswer answer;
    try {
        answer = co_await exchange(&listSession, request, QByteArray(),
                                   {timeoutMs, timeoutMs, ChatRequest::kMaxModelListBytes},
                                   CancellationToken());
    } catch (const NetworkError&) {
        logFailure(u"modelListRequest"_s);
        throw;
    }
    const auto finished = AppLogEvent::requestFinished(preset.id, answer.status, clock.elapsed());
    if (!isSuccess(answer.status)) {
        AppLogger::shared().record(finished);
        throw LLMError::httpStatus(answer.status);
    }
    std::optional<QStringList> models = ChatRequest::namesIn(answer.body, u"data"_s, u"id"_s);
    if (!models) {
        logFailure(u"modelListParse"_s);
        throw LLMError::of(LLMError::Kind::badResponse);
    }
    AppLogger::shared().record(finished);
    co_return *std::move(models);
}

}  // namespace zorbel
