#include "DesktopServices.h"

#include "PreferenceKeys.h"
#include "UserDefaults.h"
#include "X11ClipboardKeeper.h"
#include "X11KeystrokePoster.h"
#include "X11Pasteboard.h"
#include "X11Workspace.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace ondrel {

DesktopServices::DesktopServices() = default;
DesktopServices::~DesktopServices() = default;
DesktopServices::DesktopServices(DesktopServices&&) noexcept = default;

bool keepClipboardContents(const platform::UserDefaults& defaults)
{
    return !defaults.contains(keys::keepClipboardContents) || defaults.boolean(keys::keepClipboardContents);
}

QString pasteKeystroke(const platform::UserDefaults& defaults)
{
    return defaults.string(keys::pasteKeystroke).value_or(QString());
}

std::unique_ptr<DesktopServices> createDesktopServices(platform::UserDefaults& defaults)
{
    // The interface exists on every platform of an X11-enabled Qt; only on
    // xcb does it have a connection.
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    auto services = std::make_unique<DesktopServices>();
    services->pasteboard = std::make_unique<platform::X11Pasteboard>(QGuiApplication::clipboard());
    services->workspace = std::make_unique<platform::X11Workspace>(connection, root);
    services->keystrokes = std::make_unique<platform::X11KeystrokePoster>(
        connection, root, *services->workspace, [&defaults] { return pasteKeystroke(defaults); });
    services->keeper = std::make_unique<platform::X11ClipboardKeeper>(
        connection, root, *services->pasteboard, [&defaults] { return keepClipboardContents(defaults); });
    services->keeper->start(); // another clipboard manager may already do the job
    return services;
}

} // namespace ondrel
