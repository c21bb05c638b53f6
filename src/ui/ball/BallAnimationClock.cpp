#include "ui/ball/BallAnimationClock.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace zorbel {

BallAnimationClock::BallAnimationClock(std::chrono::milliseconds interval) : m_interval(interval) {}

BallAnimationClock::~BallAnimationClock() = default;

void BallAnimationClock::start() {
    if (m_timer) return;
    m_timer = std::make_unique<QTimer>();
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(m_interval);
    // The firing only posts the tick; the tick looks the clock up again when it runs.
    QObject::connect(m_timer.get(), &QTimer::timeout, [clock = QPointer(this)] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [clock] {
                if (clock && clock->m_onTick) clock->m_onTick();
            },
            Qt::QueuedConnection);
    });
    m_timer->start();
}

void BallAnimationClock::stop() {
    m_timer.reset();
}

}  // namespace zorbel
