#pragma once

#include <QIcon>

namespace ondrel {

// The tray icon, recording or paused. It is drawn for each size a tray asks
// for, at that size's own pixels, so a HiDPI panel or an unusual tray height
// never gets a bitmap of another size scaled to fit.
QIcon trayIcon(bool paused);

} // namespace ondrel
