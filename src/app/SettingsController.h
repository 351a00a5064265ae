#pragma once

#include "SettingsView.h"
#include "Shortcut.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QMenu;

namespace ondrel {

namespace platform {
class Alerts;
class Autostart;
class FocusTracker;
class Scheduler;
class Settings;
class Updater;
} // namespace platform
namespace hotkeys {
class Registry;
}
class HistoryStore;
class ThemeManager;
class UpdateManager;

// The settings window, and the update checks the status menu asks for.
class SettingsController final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        platform::Settings& settings;
        platform::Scheduler& scheduler;
        platform::Autostart& autostart;
        platform::Alerts& alerts;
        platform::Updater& updater;
        QString version;
        const HistoryStore& store;
        const platform::FocusTracker& focus;
    };

    // `hotkey` is the global hotkey the window records.
    SettingsController(Services services, ThemeManager& theme, hotkeys::Registry& shortcuts,
                       hotkeys::Name hotkey, QObject* parent = nullptr);
    ~SettingsController() override;

    // Takes over the updates (a first launch turns automatic updates on).
    void start();
    // The status menu as the window's hotkey recorder sees it: its keys are
    // taken even while it is closed.
    void setMenuBuilder(std::function<std::unique_ptr<QMenu>()> build) { m_buildMenu = std::move(build); }

    void openSettings();
    void checkForUpdates();
    void toggleAutoUpdates();

    UpdateManager* updateManager() const { return m_updates.get(); }
    SettingsView* settingsWindow() const { return m_window; }

private:
    void openSettingsWindow();

    Services m_services;
    ThemeManager& m_theme;
    hotkeys::Registry& m_shortcuts;
    hotkeys::Name m_hotkey;
    std::function<std::unique_ptr<QMenu>()> m_buildMenu;
    std::unique_ptr<UpdateManager> m_updates;
    QPointer<SettingsView> m_window;
};

} // namespace ondrel
