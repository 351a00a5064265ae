#pragma once

#include "Autostart.h"

namespace ondrel::platform {

// The XDG autostart entry: $XDG_CONFIG_HOME/autostart/io.github.ondrel.Ondrel.desktop,
// which desktop sessions start at login. It is the installed desktop entry
// (else the copy built into the program) with Exec naming this executable.
class XdgAutostart final : public Autostart
{
public:
    // `executable`: what the entry runs.
    explicit XdgAutostart(QString executable);

    bool isEnabled() const override;
    std::optional<QString> enable() override;
    std::optional<QString> disable() override;

    QString entryPath() const;
    // Earlier versions wrote autostart/ondrel.desktop: it is replaced by the
    // entry under the new name (when it was on) and removed. None on success.
    std::optional<QString> adoptFormerEntry();

private:
    QString m_executable;
};

} // namespace ondrel::platform
