#include "support/HttpExchange.h"

#include <qcoro/qcoronetworkreply.h>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "support/DeleteLater.h"
#include "support/Errors.h"

namespace zorbel {

QCoro::Task<HttpAnswer> exchange(QNetworkRequest request, HttpSend send, HttpLimits limits,
                                 CancellationToken token) {
    token.throwIfCancelled();
    request.setTransferTimeout(limits.idleMs);
    // A redirect elsewhere would carry the key and the captured text to another host.
    const QVariant policy = request.attribute(QNetworkRequest::RedirectPolicyAttribute);
    if (!policy.isValid() || policy.toInt() != QNetworkRequest::ManualRedirectPolicy) {
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::SameOriginRedirectPolicy);
    }
    const LaterPointer<QNetworkReply> reply(send(request));

    enum class Abort { none, cancelled, timedOut, tooLarge };
    Abort abort = Abort::none;
    QNetworkReply* const raw = reply.get();
    // The reply is aborted from the event loop, never from inside one of its own signals: the
    // abort finishes the reply, which resumes and ends this coroutine.
    const auto end = [raw, &abort](Abort why) {
        if (abort != Abort::none) return;
        abort = why;
        QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection);
    };
    QTimer total;
    total.setSingleShot(true);
    QObject::connect(&total, &QTimer::timeout, raw, [&end] { end(Abort::timedOut); });
    total.start(limits.totalMs);
    const QMetaObject::Connection cancelWatch =
        token.onCancel(raw, [&end] { end(Abort::cancelled); });
    // The body is refused as soon as it grows past its limit, not once it has all arrived.
    const QMetaObject::Connection sizeWatch =
        QObject::connect(raw, &QNetworkReply::readyRead, raw, [raw, &end, &limits] {
            if (raw->bytesAvailable() > limits.maxBodyBytes) end(Abort::tooLarge);
        });

    co_await qCoro(raw).waitForFinished();
    // The reply outlives this frame (it is deleted later): nothing may reach `end` after here.
    QObject::disconnect(sizeWatch);
    QObject::disconnect(cancelWatch);

    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    switch (abort) {
        case Abort::cancelled:
            throw NetworkError(NetworkError::Code::cancelled);
        case Abort::timedOut:
            throw NetworkError(NetworkError::Code::timedOut);
        case Abort::tooLarge:
            throw NetworkError(NetworkError::Code::tooLarge);
        case Abort::none:
            break;
    }
    if (status.isValid())
        co_return HttpAnswer{status.toInt(), raw->readAll(), raw->rawHeader("ETag"),
                             raw->rawHeader("Location")};
    const QNetworkReply::NetworkError error = raw->error();
    // The idle limit ends the exchange from inside the network stack, which reports it as a
    // cancellation: every abort of ours is told apart above.
    if (error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError) {
        throw NetworkError(NetworkError::Code::timedOut, error);
    }
    throw NetworkError(NetworkError::Code::other, error);
}

QCoro::Task<HttpAnswer> exchange(QNetworkAccessManager* manager, QNetworkRequest request,
                                 QByteArray body, HttpLimits limits, CancellationToken token) {
    return exchange(
        std::move(request),
        [manager, body = std::move(body)](const QNetworkRequest& ready) {
            return body.isNull() ? manager->get(ready) : manager->post(ready, body);
        },
        limits, std::move(token));
}

QString originOf(const QUrl& url) {
    if (url.host().isEmpty()) return {};
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == u"https" ? 443 : scheme == u"http" ? 80 : -1);
    return scheme + QStringLiteral("://") + url.host().toLower() + u':' + QString::number(port);
}

bool isLoopback(const QUrl& url) {
    return url.host().compare(u"localhost", Qt::CaseInsensitive) == 0 ||
           QHostAddress(url.host()).isLoopback();
}

bool mayCarryCredentials(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) return false;
    if (url.scheme().compare(u"https", Qt::CaseInsensitive) == 0) return true;
    return url.scheme().compare(u"http", Qt::CaseInsensitive) == 0 && isLoopback(url);
}

bool addBearer(QNetworkRequest& request, const QString& key) {
    if (key.isEmpty()) return true;
    if (!mayCarryCredentials(request.url())) return false;
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    return true;
}

}  // namespace zorbel
