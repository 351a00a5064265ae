#pragma once

#include <QDateTime>

#include <compare>

namespace ondrel {

// A point in time as seconds since 2001-01-01T00:00:00Z, kept as a double so
// that a value read from the history file is written back unchanged.
class Timestamp final
{
public:
    // Seconds from the Unix epoch to the reference date.
    static constexpr double kReferenceDateUnixSeconds = 978307200.0;

    constexpr Timestamp() = default;
    static constexpr Timestamp fromSecondsSinceReferenceDate(double s) { return Timestamp(s); }
    static Timestamp now();
    static constexpr Timestamp fromSecondsSinceEpoch(double unixSeconds)
    {
        return Timestamp(unixSeconds - kReferenceDateUnixSeconds);
    }
    static Timestamp fromDateTime(const QDateTime& dateTime);

    constexpr double secondsSinceReferenceDate() const { return m_seconds; }
    QDateTime toDateTime() const;

    friend constexpr auto operator<=>(Timestamp, Timestamp) = default;

private:
    constexpr explicit Timestamp(double s) : m_seconds(s) {}
    double m_seconds = 0;
};

} // namespace ondrel
