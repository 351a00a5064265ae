#include "Worker.h"

#include <pthread.h>

namespace ondrel::platform {

Worker::Worker(const char* name) : m_name(name), m_relay(std::make_unique<QObject>()) {}

Worker::~Worker()
{
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        wakeUp = m_wakeUp;
    }
    if (wakeUp)
        wakeUp();
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    // Results still on their way die with the relay: Qt drops the queued
    // calls of an object it deletes.
}

void Worker::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { loop(); });
            ::pthread_setname_np(m_thread.native_handle(), m_name);
        }
    }
    m_wake.notify_one();
}

void Worker::toGui(QPointer<QObject> receiver, std::function<void()> fn)
{
    QMetaObject::invokeMethod(
        m_relay.get(),
        [receiver = std::move(receiver), fn = std::move(fn)] {
            if (receiver)
                fn();
        },
        Qt::QueuedConnection);
}

void Worker::toGui(std::function<void()> fn)
{
    QMetaObject::invokeMethod(m_relay.get(), std::move(fn), Qt::QueuedConnection);
}

bool Worker::stopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void Worker::setWakeUp(std::function<void()> wakeUp)
{
    std::lock_guard lock(m_mutex);
    m_wakeUp = std::move(wakeUp);
}

void Worker::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

bool Worker::isCurrentThread() const
{
    std::lock_guard lock(m_mutex); // post() starts the thread under it
    return std::this_thread::get_id() == m_thread.get_id();
}

void Worker::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty())
            return; // stopping, and everything queued has run
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        lock.unlock();
        task();
        task = nullptr; // what it captured goes here, off the GUI thread
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
}

} // namespace ondrel::platform
