#include "support/CancellationToken.h"

#include <QObject>
#include <atomic>

#include "support/Errors.h"

namespace zorbel {

namespace {

/// Carries the cancellation to the callbacks' threads.
class CancellationNotifier final : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void cancelled();
};

}  // namespace

struct CancellationToken::State {
    std::atomic<bool> cancelled{false};
    CancellationNotifier notifier;
};

CancellationToken::CancellationToken() : m_state(std::make_shared<State>()) {}

void CancellationToken::cancel() const {
    if (!m_state->cancelled.exchange(true, std::memory_order_acq_rel)) {
        Q_EMIT m_state->notifier.cancelled();
    }
}

bool CancellationToken::isCancelled() const {
    return m_state->cancelled.load(std::memory_order_acquire);
}

void CancellationToken::throwIfCancelled() const {
    if (isCancelled()) throw CancelledError();
}

QMetaObject::Connection CancellationToken::onCancel(QObject* context,
                                                    std::function<void()> callback) const {
    const QMetaObject::Connection connection =
        QObject::connect(&m_state->notifier, &CancellationNotifier::cancelled, context, callback,
                         Qt::QueuedConnection);
    if (isCancelled())
        QMetaObject::invokeMethod(context, std::move(callback), Qt::QueuedConnection);
    return connection;
}

}  // namespace zorbel

#include "CancellationToken.moc"
