#pragma once

#include <QMenu>

namespace ondrel {

namespace platform {
class Scheduler;
}
class ClipboardWatcher;
class HistoryStore;
class SettingsController;

// The tray icon's menu: settings, updates, pausing the recording, clearing
// the history, quitting.
class StatusMenu final : public QMenu
{
    Q_OBJECT
public:
    StatusMenu(SettingsController& settings, HistoryStore& store, ClipboardWatcher& watcher,
               platform::Scheduler& scheduler, QWidget* parent = nullptr);

    // Shows whether updates are automatic; the switch is off where it
    // cannot do anything.
    void syncAutomaticUpdates();

Q_SIGNALS:
    // "Quit Ondrel" was chosen.
    void quitRequested();

protected:
    bool event(QEvent* event) override;

private:
    SettingsController& m_settings;
    QAction* m_automatic = nullptr;
};

} // namespace ondrel
