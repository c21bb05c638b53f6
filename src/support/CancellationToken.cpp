#include "support/CancellationToken.h"

#include "support/Errors.h"

namespace zorbel {

CancellationToken::CancellationToken() : m_cancelled(std::make_shared<std::atomic<bool>>(false)) {}

void CancellationToken::cancel() const {
    m_cancelled->store(true, std::memory_order_release);
}

bool CancellationToken::isCancelled() const {
    return m_cancelled->load(std::memory_order_acquire);
}

void CancellationToken::throwIfCancelled() const {
    if (isCancelled()) throw CancelledError();
}

}  // namespace zorbel
