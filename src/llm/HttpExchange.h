#pragma once

#include <qcoro/qcorotask.h>
#include <QByteArray>
#include <QNetworkRequest>
#include <optional>

#include "support/CancellationToken.h"

class QNetworkAccessManager;

namespace zorbel {

/// What came back from an HTTP server.
struct HttpAnswer {
    int status = 0;  ///< the HTTP status code
    QByteArray body;
};

/// The two time limits of one exchange, in milliseconds.
struct HttpLimits {
    int idleMs;   ///< longest wait without any data moving (the request time-out)
    int totalMs;  ///< longest whole exchange (the resource time-out)
};

/// Sends one request through `manager` (GET when `body` is null, else POST) and awaits the
/// answer on the caller's thread. Any HTTP status is an answer, not an error.
/// Throws NetworkError: `cancelled` when `token` is cancelled while waiting (the request is
/// aborted), `timedOut` when a limit runs out, `other` for every other transport failure.
QCoro::Task<HttpAnswer> exchange(QNetworkAccessManager* manager, QNetworkRequest request,
                                 QByteArray body, HttpLimits limits, CancellationToken token);

}  // namespace zorbel
