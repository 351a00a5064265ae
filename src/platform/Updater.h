#pragma once

#include <QObject>

namespace ondrel::platform {

// The software-update machinery: its two settings, whether a check may
// start now, and a check the user asked for (which tells the user the result).
class Updater : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;
    virtual bool automaticallyDownloadsUpdates() const = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool on) = 0;
    virtual bool canCheckForUpdates() const = 0;
    virtual void checkForUpdates() = 0;
    // Why this copy cannot update itself (it has no update feed: updates
    // come with the system's packages); empty when it can.
    virtual QString unavailableReason() const { return {}; }

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
};

} // namespace ondrel::platform
