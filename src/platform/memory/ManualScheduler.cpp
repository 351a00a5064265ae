#include "ManualScheduler.h"

#include <algorithm>

namespace ondrel::platform {

struct ManualScheduler::TimerState
{
    double interval = 0;
    bool valid = true;
};

class ManualScheduler::Timer final : public RepeatingTimer
{
public:
    explicit Timer(std::shared_ptr<TimerState> state) : m_state(std::move(state)) {}
    ~Timer() override { stop(); }
    void stop() override { m_state->valid = false; }
    bool isValid() const override { return m_state->valid; }

private:
    std::shared_ptr<TimerState> m_state;
};

void ManualScheduler::post(QObject* context, std::function<void()> fn)
{
    schedule(m_now, context, std::move(fn), nullptr);
}

void ManualScheduler::postAfter(double seconds, QObject* context, std::function<void()> fn)
{
    schedule(m_now + std::max(0.0, seconds), context, std::move(fn), nullptr);
}

std::unique_ptr<RepeatingTimer> ManualScheduler::scheduleRepeating(double interval, QObject* context,
                                                                   std::function<void()> fn)
{
    auto state = std::make_shared<TimerState>();
    state->interval = interval;
    schedule(m_now + interval, context, std::move(fn), state);
    return std::make_unique<Timer>(state);
}

void ManualScheduler::schedule(double due, QObject* context, std::function<void()> fn,
                               std::shared_ptr<TimerState> timer)
{
    m_tasks.push_back(Task{due, m_nextSequence++, context, std::move(fn), std::move(timer)});
}

void ManualScheduler::advance(double seconds)
{
    const double target = m_now + std::max(0.0, seconds);
    for (;;) {
        // Invalidated timers and tasks whose context died are dropped, not run.
        std::erase_if(m_tasks,
                      [](const Task& t) { return t.context.isNull() || (t.timer && !t.timer->valid); });
        auto next = std::min_element(m_tasks.begin(), m_tasks.end(), [](const Task& a, const Task& b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
        if (next == m_tasks.end() || next->due > target)
            break;
        Task task = std::move(*next);
        m_tasks.erase(next);
        m_now = std::max(m_now, task.due);
        if (task.timer)
            schedule(task.due + task.timer->interval, task.context, task.fn, task.timer);
        task.fn();
    }
    m_now = target;
}

std::size_t ManualScheduler::pendingCount() const
{
    return static_cast<std::size_t>(std::count_if(m_tasks.begin(), m_tasks.end(), [](const Task& t) {
        return !t.context.isNull() && !(t.timer && !t.timer->valid);
    }));
}

} // namespace ondrel::platform
