#include "SelectionWatcher.h"

#include "ClipboardWatcher.h"
#include "PrimarySelection.h"
#include "Scheduler.h"
#include "Settings.h"
#include "SettingsKeys.h"

#include <utility>

namespace ondrel {

SelectionWatcher::SelectionWatcher(Services services, ClipboardWatcher& copies, QObject* parent)
    : QObject(parent), m_services(services), m_copies(copies)
{}

SelectionWatcher::~SelectionWatcher()
{
    stopMonitoring();
}

void SelectionWatcher::startMonitoring()
{
    m_monitoring = true;
    m_services.selection.observeChanges([this] { changed(); });
}

void SelectionWatcher::stopMonitoring()
{
    if (!m_monitoring)
        return;
    m_monitoring = false;
    ++m_generation; // a settle or read under way comes to nothing
    m_services.selection.observeChanges({});
}

bool SelectionWatcher::recording() const
{
    return m_monitoring && m_services.settings.boolean(keys::recordPrimarySelection);
}

void SelectionWatcher::changed()
{
    ++m_generation;
    // The source is the program selected in, judged as a copy from it would
    // be; a selection made while paused stays out after resume, as a copy does.
    m_app = m_services.focus.activeApplication();
    m_when = Timestamp::fromSecondsSinceEpoch(m_services.scheduler.secondsSinceEpoch());
    m_leftOut = m_leftOut || !recording() || m_copies.leavesOut(m_app);
    m_services.scheduler.postAfter(kQuietSeconds, this,
                                   [this, generation = m_generation] { settle(generation); });
}

void SelectionWatcher::settle(quint64 generation)
{
    if (generation != m_generation)
        return;
    // A drag may grow the selection without telling: only what is selected
    // once the button is up counts.
    if (!m_leftOut && recording() && m_services.selection.buttonHeld()) {
        m_services.scheduler.postAfter(kButtonCheckSeconds, this, [this, generation] { settle(generation); });
        return;
    }
    if (std::exchange(m_leftOut, false) || !recording() || m_copies.leavesOut(m_app)) {
        Q_EMIT settled();
        return;
    }
    m_services.selection.readText(
        this, m_copies.entryLimit(),
        [this, generation, app = m_app, when = m_when](const platform::ClipboardContents& contents) {
            // A newer selection came meanwhile: it is settled in its turn.
            if (generation != m_generation)
                return;
            const bool kept =
                recording() && !m_copies.leavesOut(app) && !contents.superseded && !contents.secret;
            if (kept && !contents.tooLargeType.isEmpty())
                m_copies.sayTooLarge(app);
            else if (kept && contents.text)
                m_copies.recordSelection(*contents.text, app, when);
            Q_EMIT settled();
        });
}

} // namespace ondrel
