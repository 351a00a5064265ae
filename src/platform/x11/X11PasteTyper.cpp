#include "X11PasteTyper.h"
#include "Xcb.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <array>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcKeys, "ondrel.x11")

namespace ondrel::platform {

namespace {

// X keysyms (X11/keysymdef.h) of the keys involved.
constexpr uint32_t kV = 0x0076;
constexpr uint32_t kInsert = 0xff63;
constexpr uint32_t kControlL = 0xffe3;
constexpr uint32_t kShiftL = 0xffe1;
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

// Window classes (lower case) of terminal emulators, which paste with Ctrl+Shift+V.
constexpr std::array<const char16_t*, 17> kTerminals = {
    u"gnome-terminal",
    u"gnome-terminal-server",
    u"konsole",
    u"xfce4-terminal",
    u"tilix",
    u"terminator",
    u"kitty",
    u"alacritty",
    u"org.wezfurlong.wezterm",
    u"wezterm",
    u"foot",
    u"urxvt",
    u"rxvt",
    u"st",
    u"st-256color",
    u"terminology",
    u"org.gnome.console",
};

} // namespace

X11PasteTyper::X11PasteTyper(xcb_connection_t* connection, xcb_window_t root, X11FocusTracker& focus,
                             std::function<QString()> override)
    : m_connection(connection), m_root(root), m_focus(focus), m_override(std::move(override)),
      m_symbols(xcb_key_symbols_alloc(connection))
{}

X11PasteTyper::~X11PasteTyper()
{
    xcb_key_symbols_free(m_symbols);
}

std::optional<X11PasteTyper::Chord> X11PasteTyper::chordFromName(const QString& name)
{
    const QString n = name.trimmed().toLower().remove(u' ');
    if (n == u"ctrl+v")
        return Chord::ControlV;
    if (n == u"ctrl+shift+v")
        return Chord::ControlShiftV;
    if (n == u"shift+insert")
        return Chord::ShiftInsert;
    return std::nullopt;
}

QList<uint32_t> X11PasteTyper::keysyms(Chord chord)
{
    switch (chord) {
    case Chord::ControlShiftV:
        return {kControlL, kShiftL, kV};
    case Chord::ShiftInsert:
        return {kShiftL, kInsert};
    case Chord::ControlV:
        break;
    }
    return {kControlL, kV};
}

X11PasteTyper::Chord X11PasteTyper::chordFor(const QString& wmInstance, const QString& wmClass)
{
    const QString instance = wmInstance.toLower();
    const QString cls = wmClass.toLower();
    if (instance == u"xterm" || instance == u"uxterm" || cls == u"xterm" || cls == u"uxterm")
        return Chord::ShiftInsert;
    for (const char16_t* terminal : kTerminals)
        if (instance == QStringView(terminal) || cls == QStringView(terminal))
            return Chord::ControlShiftV;
    return Chord::ControlV;
}

void X11PasteTyper::activate(xcb_window_t window)
{
    if (!m_focus.activate(window))
        return;
    // The window manager takes a few milliseconds; keys sent earlier would
    // still reach our own window.
    QElapsedTimer timer;
    timer.start();
    while (m_focus.activeForeignWindow() != window && timer.elapsed() < 200)
        QThread::msleep(2);
    // The window manager is done; give the application a moment to take the
    // focus in too (Qt drops keys that arrive before it has).
    QThread::msleep(20);
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

void X11PasteTyper::typePaste()
{
    xcb_window_t target = m_focus.activeForeignWindow();
    if (target == 0 && m_focus.lastForeignWindow() != 0) {
        target = m_focus.lastForeignWindow();
        activate(target);
    }
    std::optional<Chord> chord = m_override ? chordFromName(m_override()) : std::nullopt;
    if (!chord) {
        const auto [instance, cls] = target ? m_focus.windowClass(target) : std::pair<QString, QString>();
        chord = chordFor(instance, cls);
    }
    releaseHeldModifiers();
    const QList<uint32_t> keys = keysyms(*chord);
    for (uint32_t keysym : keys)
        key(keysym, true);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        key(*it, false);
    xcb_flush(m_connection);
}

} // namespace ondrel::platform
