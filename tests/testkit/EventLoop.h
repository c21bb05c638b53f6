#pragma once

#include <qcoro/qcorotask.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace zorbel::test {

/// Drives the event loop until `done` holds or `timeoutMs` pass; returns whether it holds.
/// Tests wait for asynchronous steps with this, never by sleeping.
template <typename Predicate>
bool spinUntil(Predicate done, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    // Sleeps until something happens, and looks again at least every 10 ms for what changes
    // without an event (another thread, another process), so that waiting takes no core.
    QTimer tick;
    tick.start(10);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return done();
}

namespace detail {

// A coroutine must not be a capturing lambda: the closure dies before the frame does.
template <typename T>
using Stored = std::conditional_t<std::is_void_v<T>, bool, T>;

template <typename T>
QCoro::Task<void> drive(QCoro::Task<T> task, std::optional<Stored<T>>& value,
                        std::exception_ptr& error, bool& finished) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            value.emplace(true);
        } else {
            value.emplace(co_await std::move(task));
        }
    } catch (...) {
        error = std::current_exception();
    }
    finished = true;
}

}  // namespace detail

/// Runs `task` to its end on the event loop and returns its value, or rethrows its error.
/// Throws std::runtime_error when it has not finished after ten seconds.
template <typename T>
T await(QCoro::Task<T> task) {
    std::optional<detail::Stored<T>> value;
    std::exception_ptr error;
    bool finished = false;
    auto driver = detail::drive(std::move(task), value, error, finished);
    if (!spinUntil([&] { return finished; })) throw std::runtime_error("task did not finish");
    if (error) std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>) return std::move(*value);
}

/// The `Error` that `work` throws, or nothing when it returns (other errors pass through).
template <typename Error, typename Work>
std::optional<Error> thrown(Work work) {
    try {
        work();
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

/// A task started on the event loop and left to run while the test acts; keep it alive until
/// it has finished.
template <typename T>
struct Running {
    explicit Running(QCoro::Task<T> task)
        : driver(detail::drive(std::move(task), value, error, finished)) {}
    /// Drives the event loop until the task ends; true when it ended by throwing `Error`.
    template <typename Error>
    bool endsWith(int timeoutMs = 10000) {
        return spinUntil([this] { return finished; }, timeoutMs) && error &&
               thrown<Error>([this] { std::rethrow_exception(error); });
    }

    std::optional<detail::Stored<T>> value;
    std::exception_ptr error;
    bool finished = false;
    QCoro::Task<void> driver;
};

}  // namespace zorbel::test
