#pragma once

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ondrel::platform {

// The one way work leaves the GUI thread: a thread of its own with a queue
// of tasks run in order. Results come back to the GUI thread through a
// relay object that lives there, and reach their receiver only if it still
// exists when they arrive; the check is made on the GUI thread, never on
// the worker. Destroying the worker lets the running task see stopping(),
// wakes it if it waits on something else, runs what is queued, and joins.
class Worker final
{
public:
    // `name` shows in debuggers and `top -H`; at most 15 characters count.
    explicit Worker(const char* name);
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Runs `task` on the worker after the ones already queued. The thread
    // starts with the first task: a worker that never gets one costs nothing.
    void post(std::function<void()> task);

    // Runs `work` on the worker, then `done` with its result on the GUI
    // thread, unless `receiver` is gone by then.
    template <class Work, class Done> void run(QObject* receiver, Work work, Done done)
    {
        post([this, guard = QPointer<QObject>(receiver), work = std::move(work),
              done = std::move(done)]() mutable {
            toGui(std::move(guard),
                  [done = std::move(done), result = work()]() mutable { done(std::move(result)); });
        });
    }

    // From the worker: runs `fn` on the GUI thread if `receiver` (a pointer
    // taken on the GUI thread) still exists there.
    void toGui(QPointer<QObject> receiver, std::function<void()> fn);
    // From the worker: runs `fn` on the GUI thread while this worker lives.
    void toGui(std::function<void()> fn);

    // Whether the worker is being destroyed: a long task ends early.
    bool stopping() const;
    // Called (on the destroying thread) when stopping begins, to wake a task
    // that blocks on something other than this queue (a poll on a socket).
    void setWakeUp(std::function<void()> wakeUp);

    // Blocks until every task posted so far has run.
    void waitIdle();
    // Whether the calling code runs on this worker's thread.
    bool isCurrentThread() const;

private:
    void loop();

    const char* m_name;
    std::unique_ptr<QObject> m_relay; // lives on the GUI thread
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    std::function<void()> m_wakeUp;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace ondrel::platform
