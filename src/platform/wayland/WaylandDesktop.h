#pragma once

#include "DesktopEntries.h"
#include "FocusTracker.h"
#include "PasteTyper.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

struct wl_display;

namespace ondrel::platform {

// The windows and the keyboard of a Wayland session, as far as the
// compositor lets a program see and drive them, over a connection of our
// own on the main thread:
// - the toplevel windows and which one is active
//   (zwlr_foreign_toplevel_manager_v1): the source application of a copy is
//   the active window's app_id, named and drawn by its desktop entry;
// - a virtual keyboard (zwp_virtual_keyboard_v1) that types the paste keys
//   into the active window, which it first activates again when our popover
//   had taken the focus.
class WaylandDesktop final : public QObject
{
    Q_OBJECT
public:
    // `pasteOverride` names a paste chord ("ctrl+shift+v") that replaces
    // the one chosen by the application; empty: chosen by the application.
    explicit WaylandDesktop(std::function<QString()> pasteOverride = {},
                            DesktopEntries entries = DesktopEntries());
    ~WaylandDesktop() override;

    bool isConnected() const { return m_display != nullptr; }
    bool seesWindows() const;
    bool canType() const;

    // The app_id of the active window when it is another program's; when
    // one of ours is active, that of the last other one seen active; empty
    // when no window is.
    QString activeAppId();
    std::optional<ApplicationInfo> describe(const QString& appId);
    void rememberFocus();
    // Activates the remembered window when one of ours is active, then
    // types its paste chord. False when nothing could be typed.
    bool typePaste();

private:
    struct Toplevel;
    struct Protocols;
    void readEvents();
    void flush();
    Toplevel* activeForeign() const;
    bool isOwn(const Toplevel& toplevel) const;
    bool ensureKeyboard();
    void key(uint32_t evdevCode, bool press, uint32_t modifiers);

    wl_display* m_display = nullptr;
    std::unique_ptr<Protocols> m_protocols;
    std::function<QString()> m_pasteOverride;
    DesktopEntries m_entries;
    QHash<QString, ApplicationInfo> m_byAppId;
    Toplevel* m_lastForeign = nullptr;
    Toplevel* m_remembered = nullptr;
    QString m_ownAppId;
};

// The two faces of the desktop the services need.
class WaylandFocusTracker final : public FocusTracker
{
public:
    explicit WaylandFocusTracker(WaylandDesktop& desktop) : m_desktop(desktop) {}
    std::optional<ApplicationInfo> activeApplication() const override;
    void rememberFocus() override { m_desktop.rememberFocus(); }

private:
    WaylandDesktop& m_desktop;
};

class WaylandPasteTyper final : public PasteTyper
{
public:
    explicit WaylandPasteTyper(WaylandDesktop& desktop) : m_desktop(desktop) {}
    void typePaste() override;
    bool canPaste() const override { return m_desktop.canType(); }

private:
    WaylandDesktop& m_desktop;
    bool m_saidSo = false;
};

} // namespace ondrel::platform
