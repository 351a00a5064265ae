#pragma once

#include <QString>

namespace ondrel::platform {

// The application id desktops know Ondrel by: its desktop entry's and icon's
// name, its Wayland app_id, what it registers with the desktop portal.
inline QString appId()
{
    return QStringLiteral("io.github.ondrel.Ondrel");
}

} // namespace ondrel::platform
