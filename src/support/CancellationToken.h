#pragma once

#include <QMetaObject>
#include <functional>
#include <memory>

class QObject;

namespace zorbel {

/// A cooperative cancellation flag shared by the operation that owns it and every step that
/// works for it, on any thread. Copies share one flag. Cancelling is permanent.
class CancellationToken {
public:
    CancellationToken();

    /// Marks the operation cancelled and tells every `onCancel` callback. Safe from any thread;
    /// idempotent.
    void cancel() const;
    /// Whether `cancel()` was called on this token or a copy of it.
    bool isCancelled() const;
    /// Throws CancelledError when cancelled; used at each checkpoint of long work.
    void throwIfCancelled() const;

    /// Calls `callback` on `context`'s thread, through its event loop, once the token is
    /// cancelled (soon, when it already is). Nothing is called once `context` is gone or the
    /// connection is disconnected. A cancel racing this call may call it twice: keep it
    /// idempotent.
    QMetaObject::Connection onCancel(QObject* context, std::function<void()> callback) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace zorbel
