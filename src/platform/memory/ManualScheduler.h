#pragma once

#include "Scheduler.h"

#include <QDateTime>
#include <QPointer>

#include <cstdint>
#include <vector>

namespace ondrel::platform {

// A scheduler driven by hand with a virtual clock: nothing runs until
// runPending() or advance(), so "0.1 s later" is tested without sleeping.
class ManualScheduler final : public Scheduler
{
public:
    void post(QObject* context, std::function<void()> fn) override;
    void postAfter(double seconds, QObject* context, std::function<void()> fn) override;
    std::unique_ptr<RepeatingTimer> scheduleRepeating(double interval, QObject* context,
                                                      std::function<void()> fn) override;

    double now() const override { return m_now; }
    // The wall clock starts at the real time the scheduler was made and moves
    // with the virtual clock.
    double secondsSinceEpoch() const override { return m_epochAtStart + m_now; }
    // Moves the clock forward, running every task that falls due, in time
    // order (tasks scheduled while running included).
    void advance(double seconds);
    // Runs the tasks that are due now, including those they schedule for now.
    void runPending() { advance(0); }
    // Tasks waiting to run (repeating timers count while valid).
    std::size_t pendingCount() const;

private:
    struct TimerState;
    struct Task
    {
        double due = 0;
        std::uint64_t sequence = 0;
        QPointer<QObject> context;
        std::function<void()> fn;
        std::shared_ptr<TimerState> timer; // set for repeating timers
    };
    class Timer;

    void schedule(double due, QObject* context, std::function<void()> fn, std::shared_ptr<TimerState> timer);

    double m_now = 0;
    double m_epochAtStart = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    std::uint64_t m_nextSequence = 0;
    std::vector<Task> m_tasks;
};

} // namespace ondrel::platform
