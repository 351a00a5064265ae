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

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
};

} // namespace ondrel::platform
