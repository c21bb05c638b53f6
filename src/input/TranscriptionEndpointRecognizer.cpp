#include "input/TranscriptionEndpointRecognizer.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "core/CredentialStoring.h"
#include "support/HttpExchange.h"
#include "support/Preferences.h"
#include "support/Text.h"

namespace zorbel {

namespace {

/// A recording is sent within 30 s of silence and 2 minutes in all; its answer is short.
constexpr HttpLimits kLimits{30000, 120000, 1 << 20};

QHttpPart formField(const QByteArray& disposition, const QByteArray& body) {
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
    part.setBody(body);
    return part;
}

}  // namespace

TranscriptionEndpointRecognizer::TranscriptionEndpointRecognizer(
    std::shared_ptr<Preferences> preferences, std::shared_ptr<CredentialStoring> credentials)
    : m_preferences(std::move(preferences)),
      m_credentials(std::move(credentials)),
      m_network(std::make_unique<QNetworkAccessManager>()) {}

TranscriptionEndpointRecognizer::~TranscriptionEndpointRecognizer() = default;

QString TranscriptionEndpointRecognizer::trimmedPreference(const char* key) const {
    return trimSpacesAndTabs(m_preferences->string(QLatin1String(key)).value_or(QString()))
        .toString();
}

bool TranscriptionEndpointRecognizer::isAvailable() const {
    return !trimmedPreference(kBaseURLKey).isEmpty() && !trimmedPreference(kModelKey).isEmpty();
}

bool TranscriptionEndpointRecognizer::isLocal() const {
    return isLoopback(endpoint());
}

QString TranscriptionEndpointRecognizer::destination() const {
    return originOf(endpoint());
}

std::optional<QString> TranscriptionEndpointRecognizer::transcript(const QByteArray& body) {
    const QJsonValue text = QJsonDocument::fromJson(body).object().value(u"text");
    if (!text.isString()) return std::nullopt;
    return text.toString();
}

QUrl TranscriptionEndpointRecognizer::endpoint() const {
    QString base = trimmedPreference(kBaseURLKey);
    if (base.endsWith(u'/')) base.chop(1);
    return QUrl(base + QStringLiteral("/audio/transcriptions"), QUrl::StrictMode);
}

QCoro::Task<QString> TranscriptionEndpointRecognizer::recognize(QString wavPath,
                                                                CancellationToken token) {
    const QUrl url = endpoint();
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
        throw RecognitionError("badBaseURL");
    }
    QFile file(wavPath);
    if (!file.open(QIODevice::ReadOnly)) throw RecognitionError("unreadableRecording");
    const QString key =
        (co_await m_credentials->credential(QLatin1String(kCredentialAccount))).value_or(QString());

    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    multipart->append(formField(QByteArrayLiteral("form-data; name=\"model\""),
                                trimmedPreference(kModelKey).toUtf8()));
    QHttpPart audio = formField(QByteArrayLiteral("form-data; name=\"file\"; filename=\"") +
                                    QFileInfo(wavPath).fileName().toUtf8() + '"',
                                file.readAll());
    audio.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("audio/wav"));
    multipart->append(audio);

    QNetworkRequest request(url);
    if (!addBearer(request, key)) throw RecognitionError("insecureBaseURL");
    QNetworkAccessManager* const network = m_network.get();
    const HttpSend postForm = [network, multipart](const QNetworkRequest& ready) {
        QNetworkReply* reply = network->post(ready, multipart);
        multipart->setParent(reply);
        return reply;
    };
    HttpAnswer answer;
    try {
        QCoro::Task<HttpAnswer> exchanged = exchange(request, postForm, kLimits, token);
        answer = co_await std::move(exchanged);
    } catch (const NetworkError&) {
        token.throwIfCancelled();
        throw;
    }
    if (answer.status < 200 || answer.status > 299) throw RecognitionError("httpStatus");
    std::optional<QString> text = transcript(answer.body);
    if (!text) throw RecognitionError("badResponse");
    co_return *std::move(text);
}

}  // namespace zorbel
