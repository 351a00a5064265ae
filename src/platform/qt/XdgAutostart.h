#pragma once

#include "Autostart.h"

namespace ondrel::platform {

// The XDG autostart entry: $XDG_CONFIG_HOME/autostart/ondrel.desktop, which
// desktop sessions start at login.
class XdgAutostart final : public Autostart
{
public:
    // `executable`: what the entry runs.
    explicit XdgAutostart(QString executable);

    bool isEnabled() const override;
    std::optional<QString> enable() override;
    std::optional<QString> disable() override;

    QString entryPath() const;

private:
    QString m_executable;
};

} // namespace ondrel::platform
