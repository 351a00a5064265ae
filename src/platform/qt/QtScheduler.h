#pragma once

#include "Scheduler.h"

namespace ondrel::platform {

// Scheduler on the Qt event loop of the GUI thread.
class QtScheduler final : public Scheduler
{
public:
    void post(QObject* context, std::function<void()> fn) override;
    void postAfter(double seconds, QObject* context, std::function<void()> fn) override;
    std::unique_ptr<RepeatingTimer> scheduleRepeating(double interval, QObject* context,
                                                      std::function<void()> fn) override;
    double now() const override;
    double secondsSinceEpoch() const override;
};

} // namespace ondrel::platform
