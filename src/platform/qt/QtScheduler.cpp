#include "QtScheduler.h"

#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace ondrel::platform {

namespace {

int toMilliseconds(double seconds)
{
    return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0));
}

class QtRepeatingTimer final : public RepeatingTimer
{
public:
    QtRepeatingTimer(double interval, QObject* context, std::function<void()> fn)
    {
        m_timer.setInterval(toMilliseconds(interval));
        QObject::connect(&m_timer, &QTimer::timeout, context, std::move(fn));
        m_timer.start();
    }
    void stop() override { m_timer.stop(); }
    bool isValid() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

void QtScheduler::post(QObject* context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void QtScheduler::postAfter(double seconds, QObject* context, std::function<void()> fn)
{
    QTimer::singleShot(toMilliseconds(seconds), Qt::PreciseTimer, context, std::move(fn));
}

std::unique_ptr<RepeatingTimer> QtScheduler::scheduleRepeating(double interval, QObject* context,
                                                               std::function<void()> fn)
{
    return std::make_unique<QtRepeatingTimer>(interval, context, std::move(fn));
}

double QtScheduler::now() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double QtScheduler::secondsSinceEpoch() const
{
    using namespace std::chrono;
    return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) / 1e6;
}

} // namespace ondrel::platform
