#pragma once

#include "PasteTyper.h"
#include "X11FocusTracker.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

#include <xcb/xcb_keysyms.h>

namespace ondrel::platform {

// The paste keystroke through XTest into the active window of another
// program; while one of ours has the keyboard, into the window the popover
// was opened over, given the keyboard back first. Releases modifier keys
// still held (from the hotkey), then presses that window's paste chord.
// Without such a window nothing is typed: the entry is on the clipboard.
class X11PasteTyper final : public PasteTyper
{
public:
    // How long the window manager may take to hand the keyboard back, and
    // the moment the application then gets to take it in.
    static constexpr int kActivationWaitMs = 250;
    static constexpr int kSettleMs = 20;

    // `override` names a chord for every window ("ctrl+v", "ctrl+shift+v",
    // "shift+insert"); anything else picks by window class.
    X11PasteTyper(xcb_connection_t* connection, xcb_window_t root, X11FocusTracker& focus,
                  std::function<QString()> override = {});
    ~X11PasteTyper() override;

    void typePaste() override;
    // Whether a paste now would have a window to go to.
    bool canPaste() const override;

private:
    void waitForTarget();
    void type(xcb_window_t window);
    void releaseHeldModifiers();
    void key(uint32_t keysym, bool press);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    X11FocusTracker& m_focus;
    std::function<QString()> m_override;
    xcb_key_symbols_t* m_symbols;
    // The paste waiting for its window to take the keyboard; the event loop
    // runs meanwhile.
    xcb_window_t m_target = 0;
    QElapsedTimer m_waited;
    QTimer m_poll;
    QTimer m_settle;
};

} // namespace ondrel::platform
