#pragma once

#include "DesktopEntries.h"
#include "FocusTracker.h"
#include "PasteTyper.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

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
    // How long the compositor may take to hand the keyboard back, and the
    // moment the program then gets to take it in.
    static constexpr int kActivationWaitMs = 300;
    static constexpr int kSettleMs = 30;
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
    // Notes the window of another program that has the keyboard, if any.
    void rememberFocus();
    // Types the paste chord into the active window of another program;
    // while one of ours is active, first gives the keyboard back to the
    // remembered window (without one, nothing is typed: the entry is on the
    // clipboard). The event loop runs while the compositor does that.
    // False when this compositor offers no virtual keyboard; else `done`
    // runs once the keys are typed or the paste is given up.
    bool typePaste(std::function<void()> done);

private:
    struct Toplevel;
    struct Protocols;
    void readEvents();
    void flush();
    Toplevel* activeForeign() const;
    bool isOwn(const Toplevel& toplevel) const;
    bool ownActive() const;
    bool ensureKeyboard();
    void waitForTarget();
    void type(const Toplevel* target);
    void finishPaste();
    void key(uint32_t evdevCode, bool press, uint32_t modifiers);

    wl_display* m_display = nullptr;
    std::unique_ptr<Protocols> m_protocols;
    std::function<QString()> m_pasteOverride;
    DesktopEntries m_entries;
    QHash<QString, ApplicationInfo> m_byAppId;
    Toplevel* m_lastForeign = nullptr;
    Toplevel* m_remembered = nullptr;
    Toplevel* m_target = nullptr; // a paste waiting for its window to take the keyboard
    std::function<void()> m_done;
    QElapsedTimer m_waited;
    QTimer m_poll;
    QTimer m_settle;
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
