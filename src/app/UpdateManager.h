#pragma once

#include <QObject>

namespace ondrel {

namespace platform {
class Updater;
class Settings;
} // namespace platform

// The update machinery as the status menu sees it: automatic updates on or
// off (both checking and downloading, remembered under
// "SUAutomaticallyUpdate"), and a check on demand.
class UpdateManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
public:
    // A first launch (nothing under the key) turns automatic updates on.
    UpdateManager(platform::Settings& settings, platform::Updater& updater, QObject* parent = nullptr);

    platform::Updater& updater() { return m_updater; }
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    bool automaticallyChecksForUpdates() const { return m_automaticallyChecks; }
    void setAutomaticallyChecksForUpdates(bool on);
    void toggleAutomaticUpdates();

Q_SIGNALS:
    void canCheckForUpdatesChanged();
    void automaticallyChecksForUpdatesChanged();

private:
    platform::Settings& m_settings;
    platform::Updater& m_updater;
    bool m_canCheckForUpdates = false;
    bool m_automaticallyChecks = false;
};

} // namespace ondrel
