#include "UpdateManager.h"

#include "Settings.h"
#include "SettingsKeys.h"
#include "Updater.h"

namespace ondrel {

UpdateManager::UpdateManager(platform::Settings& settings, platform::Updater& updater, QObject* parent)
    : QObject(parent), m_settings(settings), m_updater(updater)
{
    if (!m_settings.contains(keys::automaticallyUpdate)) {
        m_settings.setBool(keys::automaticallyUpdate, true);
        m_updater.setAutomaticallyChecksForUpdates(true);
        m_updater.setAutomaticallyDownloadsUpdates(true);
    }
    m_automaticallyChecks = m_updater.automaticallyChecksForUpdates();
    m_canCheckForUpdates = m_updater.canCheckForUpdates();
    connect(&m_updater, &platform::Updater::canCheckForUpdatesChanged, this, [this](bool can) {
        m_canCheckForUpdates = can;
        Q_EMIT canCheckForUpdatesChanged();
    });
}

void UpdateManager::setAutomaticallyChecksForUpdates(bool on)
{
    m_automaticallyChecks = on;
    Q_EMIT automaticallyChecksForUpdatesChanged();
    m_updater.setAutomaticallyChecksForUpdates(m_automaticallyChecks);
}

void UpdateManager::toggleAutomaticUpdates()
{
    setAutomaticallyChecksForUpdates(!m_automaticallyChecks);
    m_updater.setAutomaticallyDownloadsUpdates(m_automaticallyChecks);
    m_settings.setBool(keys::automaticallyUpdate, m_automaticallyChecks);
}

} // namespace ondrel
