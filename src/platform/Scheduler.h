#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace ondrel::platform {

// A repeating timer; stops firing once stopped or destroyed.
class RepeatingTimer
{
public:
    virtual ~RepeatingTimer() = default;
    virtual void stop() = 0;
    virtual bool isValid() const = 0;
};

// Deferred work on the main thread. Every callback is tied to a context
// object and is dropped when that object is destroyed first, so a callback
// never runs on a dead owner.
class Scheduler
{
public:
    virtual ~Scheduler() = default;
    // Runs `fn` after the current task.
    virtual void post(QObject* context, std::function<void()> fn) = 0;
    // Runs `fn` once, `seconds` from now.
    virtual void postAfter(double seconds, QObject* context, std::function<void()> fn) = 0;
    // Runs `fn` every `interval` seconds until the returned timer is stopped or destroyed.
    virtual std::unique_ptr<RepeatingTimer> scheduleRepeating(double interval, QObject* context,
                                                              std::function<void()> fn) = 0;

    // The clock the delays above count on, in seconds from an arbitrary
    // start: for measuring how long ago something happened.
    virtual double now() const = 0;
    // The wall-clock time, in seconds since the Unix epoch: for dating things.
    virtual double secondsSinceEpoch() const = 0;
};

} // namespace ondrel::platform
