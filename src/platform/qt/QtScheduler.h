#pragma once

#include "MainQueue.h"

namespace ondrel::platform {

// MainQueue on the Qt event loop of the GUI thread.
class QtMainQueue final : public MainQueue
{
public:
    void async(QObject* context, std::function<void()> fn) override;
    void asyncAfter(double seconds, QObject* context, std::function<void()> fn) override;
    std::unique_ptr<RepeatingTimer> scheduleRepeating(double interval, QObject* context,
                                                      std::function<void()> fn) override;
    double now() const override;
    double secondsSinceEpoch() const override;
};

} // namespace ondrel::platform
