#pragma once

#include "FocusTracker.h"
#include "Timestamp.h"

#include <QObject>

#include <optional>

namespace ondrel {

namespace platform {
class PrimarySelection;
class Scheduler;
class Settings;
} // namespace platform

class ClipboardWatcher;

// Records the text the user selects with the mouse, when the setting
// history/recordPrimarySelection asks for it. A selection changes at every
// movement of a drag: it is read only once it has not changed for
// kQuietSeconds and no mouse button is held, and then recorded as a copied
// text is (ClipboardWatcher::recordSelection), unless it is left out: the
// setting off, recording paused (also when it was paused during the
// selection), an excluded application, the secret hint, no text. It never
// touches the clipboard.
class SelectionWatcher final : public QObject
{
    Q_OBJECT
public:
    static constexpr double kQuietSeconds = 0.5;
    // While a mouse button is held, it is looked at again this often.
    static constexpr double kButtonCheckSeconds = 0.1;

    struct Services
    {
        platform::Scheduler& scheduler;
        platform::PrimarySelection& selection;
        platform::FocusTracker& focus;
        platform::Settings& settings;
    };

    SelectionWatcher(Services services, ClipboardWatcher& copies, QObject* parent = nullptr);
    ~SelectionWatcher() override;

    // Watches the selection's changes from now on (what is selected now is no change).
    void startMonitoring();
    void stopMonitoring();

Q_SIGNALS:
    // A selection stopped changing and was dealt with: recorded, or left out.
    void settled();

private:
    void changed();
    void settle(quint64 generation);
    bool recording() const;

    Services m_services;
    ClipboardWatcher& m_copies;
    bool m_monitoring = false;
    quint64 m_generation = 0; // moves at every change; a settle of an older one is dropped
    // The newest change: where and when it was made, and whether a change
    // since the last settle was left out.
    std::optional<platform::ApplicationInfo> m_app;
    Timestamp m_when;
    bool m_leftOut = false;
};

} // namespace ondrel
