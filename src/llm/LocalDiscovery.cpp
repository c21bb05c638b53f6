#include "llm/LocalDiscovery.h"

#include <qcoro/qcorotimer.h>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include "llm/ChatRequest.h"
#include "support/AppLogger.h"
#include "support/Errors.h"
#include "support/HttpExchange.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kOllamaModelsKey = u"llm.ollamaModels"_s;
const QString kLMStudioModelsKey = u"llm.lmstudioModels"_s;

/// One server probe: a plain GET with its own session; nothing when it fails.
QCoro::Task<std::optional<QStringList>> probe(QUrl url, QString arrayKey, QString nameKey,
                                              int timeoutMs) {
    QNetworkAccessManager session;
    try {
        const HttpAnswer answer = co_await exchange(
            &session, QNetworkRequest(url), QByteArray(),
            {timeoutMs, timeoutMs, ChatRequest::kMaxModelListBytes}, CancellationToken());
        co_return ChatRequest::namesIn(answer.body, arrayKey, nameKey);
    } catch (const NetworkError&) {
        co_return std::nullopt;
    }
}

}  // namespace

LocalDiscovery::LocalDiscovery(std::shared_ptr<Preferences> defaults, LocalDiscoveryOptions options)
    : m_defaults(std::move(defaults)),
      m_options(std::move(options)),
      m_ollamaModels(m_defaults->value(kOllamaModelsKey).toStringList()),
      m_lmstudioModels(m_defaults->value(kLMStudioModelsKey).toStringList()) {}

QCoro::Task<> LocalDiscovery::scan() {
    const QPointer<LocalDiscovery> alive = this;
    const bool applied = co_await lookOnce();
    if (applied || !alive) co_return;
    // `ollama serve` was started instead: look again once it had time to come up.
    co_await QCoro::sleepFor(std::chrono::milliseconds(m_options.rescanDelayMs));
    if (alive) co_await lookOnce();
}

void LocalDiscovery::lookLater() {
    QTimer::singleShot(m_options.rescanDelayMs, this, [this] { lookOnce(); });
}

QCoro::Task<bool> LocalDiscovery::lookOnce() {
    const QPointer<LocalDiscovery> alive = this;
    const int timeoutMs = m_options.probeTimeoutMs;
    const QUrl ollamaTags = QUrl(m_options.ollamaBaseURL).resolved(QUrl(u"/api/tags"_s));
    const QUrl lmstudioModels(m_options.lmstudioBaseURL + u"/models"_s);
    // Both probes are in flight before either is awaited.
    auto ollamaProbe = probe(ollamaTags, u"models"_s, u"name"_s, timeoutMs);
    auto lmstudioProbe = probe(lmstudioModels, u"data"_s, u"id"_s, timeoutMs);
    const std::optional<QStringList> ollama = co_await std::move(ollamaProbe);
    const std::optional<QStringList> lmstudio = co_await std::move(lmstudioProbe);
    if (!alive) co_return false;

    if (!ollama && !m_didAttemptOllamaLaunch && launchOllamaIfInstalled()) {
        m_didAttemptOllamaLaunch = true;
        AppLogger::shared().record(AppLogEvent::failure(u"ollamaAutoLaunch"_s));
        co_return false;
    }
    m_ollamaModels = ollama.value_or(QStringList());
    m_lmstudioModels = lmstudio.value_or(QStringList());
    m_ollamaServiceReachable = ollama.has_value();
    m_defaults->setValue(kOllamaModelsKey, m_ollamaModels);
    m_defaults->setValue(kLMStudioModelsKey, m_lmstudioModels);
    QMetaObject::invokeMethod(this, &LocalDiscovery::scanFinished, Qt::QueuedConnection);
    co_return true;
}

bool LocalDiscovery::launchOllamaIfInstalled() {
    for (const QString& path : m_options.ollamaExecutables) {
        const QFileInfo executable(path);
        if (executable.isFile() && executable.isExecutable()) {
            QProcess::startDetached(path, {u"serve"_s});
            return true;
        }
    }
    return false;
}

}  // namespace zorbel
