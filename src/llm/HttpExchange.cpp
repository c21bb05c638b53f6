#include "llm/HttpExchange.h"

#include <qcoro/qcoronetworkreply.h>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "support/DeleteLater.h"
#include "support/Errors.h"

namespace zorbel {

namespace {

/// How often a running exchange looks at its cancellation token.
constexpr int kCancellationPollMs = 20;

}  // namespace

QCoro::Task<HttpAnswer> exchange(QNetworkAccessManager* manager, QNetworkRequest request,
                                 QByteArray body, HttpLimits limits, CancellationToken token) {
    token.throwIfCancelled();
    request.setTransferTimeout(limits.idleMs);
    // A redirect elsewhere would carry the key and the captured text to another host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    const LaterPointer<QNetworkReply> reply(body.isNull() ? manager->get(request)
                                                          : manager->post(request, body));

    enum class Abort { none, cancelled, timedOut };
    Abort abort = Abort::none;
    QNetworkReply* const raw = reply.get();
    QTimer total;
    total.setSingleShot(true);
    QObject::connect(&total, &QTimer::timeout, raw, [raw, &abort] {
        abort = Abort::timedOut;
        raw->abort();
    });
    total.start(limits.totalMs);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, raw, [raw, &abort, token] {
        if (!token.isCancelled() || abort != Abort::none) return;
        abort = Abort::cancelled;
        raw->abort();
    });
    watch.start(kCancellationPollMs);

    co_await qCoro(raw).waitForFinished();

    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (abort == Abort::cancelled) throw NetworkError(NetworkError::Code::cancelled);
    if (abort == Abort::timedOut) throw NetworkError(NetworkError::Code::timedOut);
    if (status.isValid()) co_return HttpAnswer{status.toInt(), raw->readAll()};
    const QNetworkReply::NetworkError error = raw->error();
    // The idle limit ends the exchange from inside the network stack.
    if (error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError) {
        throw NetworkError(NetworkError::Code::timedOut, error);
    }
    throw NetworkError(NetworkError::Code::other, error);
}

}  // namespace zorbel
