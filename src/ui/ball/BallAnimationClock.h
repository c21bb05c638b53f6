#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace zorbel {

/// Asks the ball view for a new frame sixty times a second while running. Carries no notion of
/// time: the renderers' time comes from the view.
///
/// GUI thread only. At most one timer exists; each firing posts `onTick` to the event loop,
/// holding the clock weakly, so a firing that outlives the clock does nothing.
class BallAnimationClock : public QObject {
    Q_OBJECT
public:
    /// 1/60 s cut to whole milliseconds (the timer's resolution): a little faster than 60 Hz
    /// rather than a little slower, so a 60 Hz display never waits for a frame.
    static constexpr std::chrono::milliseconds kFrameInterval{16};

    /// Stopped, no timer, no callback. `interval` is for tests, which drive the clock with a
    /// zero interval instead of waiting for real frames.
    explicit BallAnimationClock(std::chrono::milliseconds interval = kFrameInterval);
    ~BallAnimationClock() override;

    /// Starts the repeating timer; does nothing when already running.
    void start();
    /// Stops and releases the timer; harmless when stopped.
    void stop();
    bool isRunning() const { return m_timer != nullptr; }

    /// Called (asynchronously, on the event loop) once per firing while set.
    void setOnTick(std::function<void()> onTick) { m_onTick = std::move(onTick); }

    /// The running timer, or nullptr when stopped (for inspection).
    const QTimer* timer() const { return m_timer.get(); }

private:
    std::chrono::milliseconds m_interval;
    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_onTick;
};

}  // namespace zorbel
