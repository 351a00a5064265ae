#include "Timestamp.h"

#include <chrono>
#include <cmath>

namespace ondrel {

Timestamp Timestamp::now()
{
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return fromSecondsSinceEpoch(static_cast<double>(micros) / 1e6);
}

Timestamp Timestamp::fromDateTime(const QDateTime& dateTime)
{
    return Timestamp(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - kReferenceDateUnixSeconds);
}

QDateTime Timestamp::toDateTime() const
{
    const double ms = std::round((m_seconds + kReferenceDateUnixSeconds) * 1000.0);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Qt::UTC);
}

} // namespace ondrel
