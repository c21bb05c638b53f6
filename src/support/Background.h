#pragma once

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>
#include <QFuture>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <functional>
#include <type_traits>
#include <variant>

namespace zorbel {

namespace background {

template <typename Result>
using Value = std::conditional_t<std::is_void_v<Result>, std::monostate, Result>;
template <typename Result>
using Outcome = std::variant<Value<Result>, std::exception_ptr>;

// The result of `call`, or what it threw.
template <typename Result, typename Call>
Outcome<Result> capture(Call& call) {
    try {
        if constexpr (std::is_void_v<Result>) {
            call();
            return Value<Result>{};
        } else {
            return call();
        }
    } catch (...) {
        return std::current_exception();
    }
}

// The awaited outcome's result, or its error thrown again.
template <typename Result>
Result unwrap(Outcome<Result>& outcome) {
    if (auto* error = std::get_if<std::exception_ptr>(&outcome)) std::rethrow_exception(*error);
    if constexpr (!std::is_void_v<Result>) return std::move(std::get<Value<Result>>(outcome));
}

}  // namespace background

/// Runs `work` on `pool` (the global thread pool when null) and resumes the awaiting coroutine on
/// its own thread (the GUI thread for the capture) with the result. Whatever `work` throws is
/// rethrown to the awaiting coroutine unchanged, so typed errors keep their type across the thread
/// hop.
template <typename Work, typename Result = std::invoke_result_t<Work&>>
QCoro::Task<Result> runInBackground(Work work, QThreadPool* pool = nullptr) {
    QFuture<background::Outcome<Result>> future = QtConcurrent::run(
        pool ? pool : QThreadPool::globalInstance(),
        [work = std::move(work)]() mutable { return background::capture<Result>(work); });
    background::Outcome<Result> outcome = co_await future;
    co_return background::unwrap<Result>(outcome);
}

/// How far long work has come: `done` of `total` steps.
using Progress = std::function<void(int done, int total)>;

/// As above, for work that tells how far it has come: `work` is called with a Progress it may
/// call on its own thread, and `progress` hears of it on the awaiting thread, in order (calls
/// closer than a 25th of a second apart may be merged into the last). Nothing reaches
/// `progress` once the awaiting coroutine has resumed.
template <typename Work, typename Result = std::invoke_result_t<Work&, const Progress&>>
QCoro::Task<Result> runInBackground(Work work, QThreadPool* pool, Progress progress) {
    using Outcome = background::Outcome<Result>;
    QFutureWatcher<Outcome> watcher;
    const auto tell = [&watcher, &progress] {
        if (progress && watcher.progressMaximum() > 0) {
            progress(watcher.progressValue(), watcher.progressMaximum());
        }
    };
    QObject::connect(&watcher, &QFutureWatcherBase::progressValueChanged, tell);
    QObject::connect(&watcher, &QFutureWatcherBase::progressRangeChanged, tell);
    QFuture<Outcome> future =
        QtConcurrent::run(pool ? pool : QThreadPool::globalInstance(),
                          [work = std::move(work)](QPromise<Outcome>& promise) mutable {
                              int knownTotal = -1;
                              const Progress report = [&promise, &knownTotal](int done, int total) {
                                  if (total != knownTotal)
                                      promise.setProgressRange(0, knownTotal = total);
                                  promise.setProgressValue(done);
                              };
                              auto call = [&work, &report] { return work(report); };
                              promise.addResult(background::capture<Result>(call));
                          });
    watcher.setFuture(future);
    Outcome outcome = co_await future;
    co_return background::unwrap<Result>(outcome);
}

}  // namespace zorbel
