#pragma once

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>
#include <QFuture>
#include <QPromise>
#include <atomic>
#include <exception>
#include <memory>
#include <variant>

#include "support/Errors.h"

namespace zorbel {

/// Bridges a platform answer (or a time-out) to one awaiting coroutine: whoever calls `resume`
/// or `resumeThrowing` first decides the result; every later call does nothing.
///
/// Thread safety: the take is atomic, so the parties racing for it may run on any threads.
/// The awaiting coroutine always resumes on its own thread (through the event loop).
/// Hold it by `std::shared_ptr`: it lives until the waiter and every party have let go.
template <typename T>
class ResumeOnce {
public:
    ResumeOnce() {
        m_promise.start();
        m_future = m_promise.future();
    }

    /// Resumes the waiter with `value`; true when this call did so.
    bool resume(T value) { return settle(Outcome(std::in_place_index<0>, std::move(value))); }
    /// Resumes the waiter by throwing `error`; true when this call did so.
    bool resumeThrowing(std::exception_ptr error) {
        return settle(Outcome(std::in_place_index<1>, std::move(error)));
    }
    /// Whether a result was taken already.
    bool isTaken() const { return m_taken.load(); }

    /// Waits for the first result and returns it, or throws the error it carries.
    static QCoro::Task<T> wait(std::shared_ptr<ResumeOnce> once) {
        Outcome outcome = co_await once->m_future;
        if (auto* error = std::get_if<1>(&outcome)) std::rethrow_exception(*error);
        co_return std::move(std::get<0>(outcome));
    }

private:
    using Outcome = std::variant<T, std::exception_ptr>;

    bool settle(Outcome outcome) {
        if (m_taken.exchange(true)) return false;
        m_promise.addResult(std::move(outcome));
        m_promise.finish();
        return true;
    }

    std::atomic<bool> m_taken{false};
    QPromise<Outcome> m_promise;
    QFuture<Outcome> m_future;
};

}  // namespace zorbel
