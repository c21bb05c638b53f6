#include "input/TranscriptionEndpointRecognizer.h"

#include <qcoro/qcoronetworkreply.h>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "llm/CredentialStoring.h"
#include "support/DeleteLater.h"
#include "support/Preferences.h"

namespace zorbel {

namespace {

constexpr int kCancelPollMs = 50;

QString trimSpacesAndTabs(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

QHttpPart formField(const QByteArray& disposition, const QByteArray& body) {
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
    part.setBody(body);
    return part;
}

NetworkError::Code networkCode(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::OperationCanceledError:
            return NetworkError::Code::cancelled;
        case QNetworkReply::TimeoutError:
            return NetworkError::Code::timedOut;
        default:
            return NetworkError::Code::other;
    }
}

}  // namespace

TranscriptionEndpointRecognizer::TranscriptionEndpointRecognizer(
    std::shared_ptr<Preferences> preferences, std::shared_ptr<CredentialStoring> credentials)
    : m_preferences(std::move(preferences)),
      m_credentials(std::move(credentials)),
      m_network(std::make_unique<QNetworkAccessManager>()) {}

TranscriptionEndpointRecognizer::~TranscriptionEndpointRecognizer() = default;

QString TranscriptionEndpointRecognizer::trimmedPreference(const char* key) const {
    return trimSpacesAndTabs(m_preferences->string(QLatin1String(key)).value_or(QString()));
}

bool TranscriptionEndpointRecognizer::isAvailable() const {
    return !trimmedPreference(kBaseURLKey).isEmpty() && !trimmedPreference(kModelKey).isEmpty();
}

bool TranscriptionEndpointRecognizer::isLocal() const {
    const QString host = endpoint().host();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
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
    // A redirect elsewhere would carry the key and the recording to another host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    if (!key.isEmpty()) request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    const LaterPointer<QNetworkReply> reply(m_network->post(request, multipart));
    reply->setParent(nullptr);  // owned here, whatever happens to the manager
    multipart->setParent(reply.get());

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, reply.get(), [token, raw = reply.get()] {
        if (token.isCancelled()) raw->abort();
    });
    watch.start(kCancelPollMs);
    co_await reply.get();
    watch.stop();

    token.throwIfCancelled();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) throw NetworkError(networkCode(reply->error()), reply->error());
    if (status.toInt() < 200 || status.toInt() > 299) throw RecognitionError("httpStatus");
    const QJsonValue text = QJsonDocument::fromJson(reply->readAll()).object().value(u"text");
    if (!text.isString()) throw RecognitionError("badResponse");
    co_return text.toString();
}

}  // namespace zorbel
