#pragma once

#include "DesktopEntries.h"
#include "FocusTracker.h"

#include <xcb/xcb.h>

#include <QHash>

namespace ondrel::platform {

// The application of the active window (_NET_ACTIVE_WINDOW): name and icon
// from its desktop entry, else from the window's own _NET_WM_NAME and
// _NET_WM_ICON. Windows of this process are skipped: while one of ours is
// active, the last other application stays the answer.
class X11FocusTracker final : public FocusTracker
{
public:
    X11FocusTracker(xcb_connection_t* connection, xcb_window_t root,
                    DesktopEntries entries = DesktopEntries());

    std::optional<ApplicationInfo> activeApplication() const override;

    // The active window (_NET_ACTIVE_WINDOW; 0 when none), and whether a
    // window is one of ours.
    xcb_window_t activeWindow() const;
    bool isOwn(xcb_window_t window) const;
    // The active window, if it is not one of ours (0 otherwise).
    xcb_window_t activeForeignWindow() const;
    // The window of another program that had the keyboard when our popover
    // opened; 0 when none did (nothing, or only a window X11 does not see,
    // as a native Wayland one under XWayland). The paste goes back there
    // and nowhere else.
    xcb_window_t rememberedWindow() const { return m_remembered; }
    void rememberFocus() override { m_remembered = activeForeignWindow(); }
    // Asks the window manager to activate `window` (ours or another
    // program's) the way a pager or taskbar does, which it does not refuse.
    bool activate(quintptr window) override;
    // WM_CLASS of a window: instance and class.
    std::pair<QString, QString> windowClass(xcb_window_t window) const;

private:
    xcb_atom_t atom(const char* name) const;
    QByteArray property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                        uint32_t maxLongs = 1 << 16) const;
    std::optional<ApplicationInfo> describe(xcb_window_t window) const;
    QImage iconFromProperty(xcb_window_t window) const;

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    DesktopEntries m_entries;
    mutable QHash<QByteArray, xcb_atom_t> m_atoms;
    mutable std::optional<ApplicationInfo> m_lastForeign;
    mutable xcb_window_t m_lastForeignWindow = 0;
    xcb_window_t m_remembered = 0;
    mutable xcb_window_t m_describedWindow = 0;        // the window m_lastForeign describes
    mutable QHash<QString, ApplicationInfo> m_byEntry; // desktop-entry facts by WM_CLASS and executable
};

} // namespace ondrel::platform
