#include "SettingsController.h"

#include "FocusTracker.h"
#include "Scheduler.h"
#include "ShortcutRecorder.h"
#include "UpdateManager.h"
#include "Updater.h"

#include <QMenu>

namespace ondrel {

SettingsController::SettingsController(Services services, ThemeManager& theme, hotkeys::Registry& shortcuts,
                                       hotkeys::Name hotkey, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_theme(theme), m_shortcuts(shortcuts),
      m_hotkey(std::move(hotkey))
{}

SettingsController::~SettingsController()
{
    delete m_window;
}

void SettingsController::start()
{
    m_updates = std::make_unique<UpdateManager>(m_services.settings, m_services.updater);
}

void SettingsController::openSettings()
{
    m_services.scheduler.post(this, [this] { openSettingsWindow(); });
}

void SettingsController::openSettingsWindow()
{
    if (!m_window) {
        m_window = new SettingsView({m_theme, m_services.settings, m_services.autostart, m_shortcuts,
                                     m_services.alerts, m_services.scheduler, m_services.store,
                                     m_services.focus.seesApplications()},
                                    m_hotkey, m_services.version);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->recorder()->field()->setMenuBuilder(m_buildMenu);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsController::checkForUpdates()
{
    m_services.scheduler.post(this, [this] {
        if (m_updates)
            m_updates->updater().checkForUpdates();
    });
}

void SettingsController::toggleAutoUpdates()
{
    m_services.scheduler.post(this, [this] {
        if (m_updates)
            m_updates->toggleAutomaticUpdates();
    });
}

} // namespace ondrel
