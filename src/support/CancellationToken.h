#pragma once

#include <atomic>
#include <memory>

namespace zorbel {

/// A cooperative cancellation flag shared by the operation that owns it and every step that
/// works for it, on any thread. Copies share one flag. Cancelling is permanent.
class CancellationToken {
public:
    CancellationToken();

    /// Marks the operation cancelled. Safe from any thread; idempotent.
    void cancel() const;
    /// Whether `cancel()` was called on this token or a copy of it.
    bool isCancelled() const;
    /// Throws CancelledError when cancelled; used at each checkpoint of long work.
    void throwIfCancelled() const;

private:
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

}  // namespace zorbel
