// Pausing the recording, for a while or until resumed.
#include "ClipboardWatcher.h"

#include "Clipboard.h"
#include "Scheduler.h"

#include <algorithm>

namespace ondrel {

namespace {

// A timed pause looks at the wall clock at least this often: a machine
// that slept through the end resumes soon after it wakes, and a pause of
// weeks needs no timer that long.
constexpr double kPauseCheckSeconds = 60;

} // namespace

void ClipboardWatcher::pause(std::optional<std::chrono::seconds> duration)
{
    if (duration && duration->count() <= 0) {
        resume();
        return;
    }
    m_paused = true;
    ++m_pauseGeneration;
    m_passOver.reset();
    m_pausedUntil.reset();
    if (duration) {
        m_pausedUntil = Timestamp::fromSecondsSinceEpoch(m_services.scheduler.secondsSinceEpoch() +
                                                         double(duration->count()));
        checkPauseEnd(m_pauseGeneration);
    }
    Q_EMIT pausedChanged();
}

void ClipboardWatcher::checkPauseEnd(quint64 generation)
{
    if (generation != m_pauseGeneration || !m_paused || !m_pausedUntil)
        return;
    const double left = m_pausedUntil->secondsSinceReferenceDate() -
                        Timestamp::fromSecondsSinceEpoch(m_services.scheduler.secondsSinceEpoch())
                            .secondsSinceReferenceDate();
    if (left <= 0) {
        resume();
        return;
    }
    m_services.scheduler.postAfter(std::min(left, kPauseCheckSeconds), this,
                                   [this, generation] { checkPauseEnd(generation); });
}

void ClipboardWatcher::resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    ++m_pauseGeneration;
    m_pausedUntil.reset();
    // What was copied meanwhile stays out: only copies after this are
    // recorded, also when a read from before the pause is still under way.
    if (m_reading)
        m_passOver = m_services.clipboard.changeCount();
    else
        m_lastChangeCount = m_services.clipboard.changeCount();
    Q_EMIT pausedChanged();
}

} // namespace ondrel
