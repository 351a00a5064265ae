#include "UpdateManager.h"

#include "PreferenceKeys.h"
#include "Updater.h"
#include "UserDefaults.h"

namespace ondrel {

UpdateManager::UpdateManager(platform::UserDefaults& defaults, platform::Updater& updater, QObject* parent)
    : QObject(parent), m_defaults(defaults), m_updater(updater)
{
    if (!m_defaults.contains(keys::automaticallyUpdate)) {
        m_defaults.setBool(keys::automaticallyUpdate, true);
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
    m_defaults.setBool(keys::automaticallyUpdate, m_automaticallyChecks);
}

} // namespace ondrel
