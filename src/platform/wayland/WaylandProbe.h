#pragma once

#include <QStringList>

#include <optional>

namespace ondrel::platform {

// The interfaces the compositor named by WAYLAND_DISPLAY offers (none when
// there is no compositor to connect to). Needs no Qt application: the
// program asks before choosing Qt's platform.
std::optional<QStringList> waylandGlobals();

// Whether a clipboard manager can see and set the clipboard there.
bool offersDataControl(const QStringList& globals);

} // namespace ondrel::platform
