#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

#include <time.h>

namespace ondrel::bench {

// The longest time this thread's event loop did not turn while the meter
// lives: a precise 1 ms timer notes every turn, so a stall shows as the gap
// between two of its ticks (to about a millisecond). A stall is work on the
// thread, or waiting for a processor the workers hold: the thread's
// processor time tells the two apart.
class StallMeter final
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_clock.start();
        m_cpuStart = threadCpuNs();
        m_timer.start();
    }
    // The processor time this thread used since the meter started (its
    // event loop's turns included).
    double cpuMs() const { return double(threadCpuNs() - m_cpuStart) / 1e6; }
    // The longest gap so far, counting the one still open.
    double longestMs() const { return double(std::max(m_longest, m_clock.nsecsElapsed() - m_last)) / 1e6; }

private:
    static qint64 threadCpuNs()
    {
        timespec now{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_cpuStart = 0;
};

} // namespace ondrel::bench
