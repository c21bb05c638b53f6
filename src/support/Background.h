#pragma once

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>
#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <type_traits>
#include <variant>

namespace zorbel {

/// Runs `work` on `pool` (the global thread pool when null) and resumes the awaiting coroutine on
/// its own thread (the GUI thread for the capture) with the result. Whatever `work` throws is
/// rethrown to the awaiting coroutine unchanged, so typed errors keep their type across the thread
/// hop.
template <typename Work, typename Result = std::invoke_result_t<Work>>
QCoro::Task<Result> runInBackground(Work work, QThreadPool* pool = nullptr) {
    using Value = std::conditional_t<std::is_void_v<Result>, std::monostate, Result>;
    using Outcome = std::variant<Value, std::exception_ptr>;
    QFuture<Outcome> future = QtConcurrent::run(pool ? pool : QThreadPool::globalInstance(),
                                                [work = std::move(work)]() mutable -> Outcome {
                                                    try {
                                                        if constexpr (std::is_void_v<Result>) {
                                                            work();
                                                            return Value{};
                                                        } else {
                                                            return work();
                                                        }
                                                    } catch (...) {
                                                        return std::current_exception();
                                                    }
                                                });
    Outcome outcome = co_await future;
    if (auto* error = std::get_if<std::exception_ptr>(&outcome)) std::rethrow_exception(*error);
    if constexpr (!std::is_void_v<Result>) co_return std::move(std::get<Value>(outcome));
}

}  // namespace zorbel
