#include "X11PasteTyper.h"
#include "PasteChord.h"
#include "Xcb.h"

#include <QLoggingCategory>

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <array>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcKeys, "ondrel.x11")

namespace ondrel::platform {

namespace {

// Keysyms (X11/keysymdef.h) of the modifier keys: one still held from the
// hotkey would turn the paste chord into another.
constexpr std::array<uint32_t, 14> kModifiers = {
    0xffe1, 0xffe2, // Shift
    0xffe3, 0xffe4, // Control
    0xffe7, 0xffe8, // Meta
    0xffe9, 0xffea, // Alt
    0xffeb, 0xffec, // Super
    0xffed, 0xffee, // Hyper
    0xfe03,         // ISO_Level3_Shift (AltGr)
    0xff7e,         // Mode_switch
};

} // namespace

X11PasteTyper::X11PasteTyper(xcb_connection_t* connection, xcb_window_t root, X11FocusTracker& focus,
                             std::function<QString()> override)
    : m_connection(connection), m_root(root), m_focus(focus), m_override(std::move(override)),
      m_symbols(xcb_key_symbols_alloc(connection))
{
    m_poll.setInterval(5);
    QObject::connect(&m_poll, &QTimer::timeout, [this] { waitForTarget(); });
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    QObject::connect(&m_settle, &QTimer::timeout, [this] { type(m_target); });
}

X11PasteTyper::~X11PasteTyper()
{
    xcb_key_symbols_free(m_symbols);
}

bool X11PasteTyper::canPaste() const
{
    return m_focus.activeForeignWindow() != 0 || m_focus.rememberedWindow() != 0;
}

void X11PasteTyper::typePaste()
{
    // A newer paste replaces one still waiting for its window.
    m_poll.stop();
    m_settle.stop();
    const xcb_window_t active = m_focus.activeWindow();
    if (active != 0 && !m_focus.isOwn(active)) {
        type(active);
        return;
    }
    m_target = m_focus.rememberedWindow();
    if (m_target == 0) {
        typed(); // no window of another program had the keyboard: pasted by hand
        return;
    }
    // One of ours has the keyboard: give it back. With none active, ours
    // just went and the window manager is handing the keyboard back itself.
    if (active != 0)
        m_focus.activate(m_target);
    m_waited.start();
    m_poll.start();
    waitForTarget();
}

void X11PasteTyper::waitForTarget()
{
    const xcb_window_t active = m_focus.activeWindow();
    if (active == m_target) {
        // The window manager is done; give the application a moment to take
        // the keyboard in too (Qt drops keys that arrive before it has).
        m_poll.stop();
        m_settle.start();
        return;
    }
    // Another window of another program took the keyboard (the user moved
    // on), or the window did not take it in time: nothing is typed.
    if ((active != 0 && !m_focus.isOwn(active)) || m_waited.elapsed() > kActivationWaitMs) {
        m_poll.stop();
        typed();
        qCWarning(lcKeys).noquote() << "ondrel: the window to paste into did not take the keyboard back; the "
                                       "entry is on the clipboard";
    }
}

void X11PasteTyper::releaseHeldModifiers()
{
    const auto keymap =
        xcb::own(xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
    if (!keymap)
        return;
    for (uint32_t keysym : kModifiers) {
        const auto codes = xcb::own(xcb_key_symbols_get_keycode(m_symbols, keysym));
        for (const xcb_keycode_t* code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
            if (keymap->keys[*code / 8] & (1 << (*code % 8)))
                xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, *code, XCB_CURRENT_TIME, m_root, 0, 0, 0);
        }
    }
}

void X11PasteTyper::key(uint32_t keysym, bool press)
{
    const auto codes = xcb::own(xcb_key_symbols_get_keycode(m_symbols, keysym));
    if (!codes || *codes == XCB_NO_SYMBOL) {
        // A layout without the key (Russian alone has no "v"): nothing to post.
        qCWarning(lcKeys, "No key for keysym 0x%x in the current keyboard layout", keysym);
        return;
    }
    xcb_test_fake_input(m_connection, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, codes.get()[0],
                        XCB_CURRENT_TIME, m_root, 0, 0, 0);
}

void X11PasteTyper::type(xcb_window_t window)
{
    std::optional<PasteChord> chord = m_override ? pasteChordFromName(m_override()) : std::nullopt;
    if (!chord) {
        const auto [instance, cls] = m_focus.windowClass(window);
        chord = pasteChordFor(instance, cls);
    }
    releaseHeldModifiers();
    const QList<uint32_t> keys = pasteChordKeysyms(*chord);
    for (uint32_t keysym : keys)
        key(keysym, true);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        key(*it, false);
    xcb_flush(m_connection);
    typed();
}

} // namespace ondrel::platform
