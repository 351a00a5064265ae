#pragma once

#include "LoginItemService.h"

namespace ondrel::platform {

// The XDG autostart entry: $XDG_CONFIG_HOME/autostart/ondrel.desktop, which
// desktop sessions start at login.
class AutostartLoginItem final : public LoginItemService
{
public:
    // `executable`: what the entry runs.
    explicit AutostartLoginItem(QString executable);

    bool isEnabled() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

    QString entryPath() const;

private:
    QString m_executable;
};

} // namespace ondrel::platform
