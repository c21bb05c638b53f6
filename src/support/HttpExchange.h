#pragma once

#include <qcoro/qcorotask.h>
#include <QByteArray>
#include <QNetworkRequest>
#include <QUrl>
#include <functional>

#include "support/CancellationToken.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace zorbel {

/// What came back from an HTTP server.
struct HttpAnswer {
    int status = 0;  ///< the HTTP status code
    QByteArray body;
    QByteArray etag;      ///< the ETag header, empty when the answer has none
    QByteArray location;  ///< the Location header, empty when the answer has none
};

/// The limits of one exchange.
struct HttpLimits {
    int idleMs;           ///< longest wait without any data moving (the request time-out)
    int totalMs;          ///< longest whole exchange (the resource time-out)
    qint64 maxBodyBytes;  ///< the largest answer body read; a longer one is refused while read
};

/// Starts the request on its manager (GET, POST, a custom verb, a form) and hands the reply over.
using HttpSend = std::function<QNetworkReply*(const QNetworkRequest&)>;

/// Sends `request` through `send` and awaits the answer on the caller's thread. Redirects are
/// followed only within the request's origin, or not at all when the request's redirect policy
/// is ManualRedirectPolicy (the redirect is then the answer). Any HTTP status is an answer, not
/// an error.
/// Throws NetworkError: `cancelled` when `token` is cancelled while waiting (the request is
/// aborted), `timedOut` when a time limit runs out, `tooLarge` when the body passes its limit,
/// `other` for every other transport failure. The reply is deleted through the event loop, so
/// the network stack may still finish with it after the caller resumed.
QCoro::Task<HttpAnswer> exchange(QNetworkRequest request, HttpSend send, HttpLimits limits,
                                 CancellationToken token);

/// The same through `manager`: GET when `body` is null, else POST.
QCoro::Task<HttpAnswer> exchange(QNetworkAccessManager* manager, QNetworkRequest request,
                                 QByteArray body, HttpLimits limits, CancellationToken token);

/// "scheme://host:port" with the host in lower case and the scheme's port filled in: two URLs
/// with the same origin reach the same server. Empty for a URL without a host.
QString originOf(const QUrl& url);

/// Whether the URL's host is this machine: "localhost" or a loopback address.
bool isLoopback(const QUrl& url);

/// Whether a key or password may be sent to `url`: over HTTPS, or plain HTTP to this machine.
bool mayCarryCredentials(const QUrl& url);

/// Puts `key` into `request` as a Bearer token (an empty key adds nothing). False, and nothing
/// added, when the key would cross the network in clear text.
[[nodiscard]] bool addBearer(QNetworkRequest& request, const QString& key);

}  // namespace zorbel
