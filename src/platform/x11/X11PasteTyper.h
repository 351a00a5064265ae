#pragma once

#include "PasteTyper.h"
#include "X11FocusTracker.h"

#include <QString>

#include <functional>

#include <xcb/xcb_keysyms.h>

namespace ondrel::platform {

// The paste keystroke through XTest: gives the focus back to the window the
// user was in, releases modifier keys still held (from the hotkey), then
// presses that window's paste chord.
class X11PasteTyper final : public PasteTyper
{
public:
    // `override` names a chord for every window ("ctrl+v", "ctrl+shift+v",
    // "shift+insert"); anything else picks by window class.
    X11PasteTyper(xcb_connection_t* connection, xcb_window_t root, X11FocusTracker& focus,
                  std::function<QString()> override = {});
    ~X11PasteTyper() override;

    void typePaste() override;

private:
    void activate(xcb_window_t window);
    void releaseHeldModifiers();
    void key(uint32_t keysym, bool press);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    X11FocusTracker& m_focus;
    std::function<QString()> m_override;
    xcb_key_symbols_t* m_symbols;
};

} // namespace ondrel::platform
