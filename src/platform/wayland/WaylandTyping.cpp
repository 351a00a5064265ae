// WaylandDesktop's keyboard: a virtual keyboard that types the paste chord.

#include "PasteChord.h"
#include "WaylandDesktop.h"
#include "WaylandDesktopProtocols.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace ondrel::platform {

namespace {

Q_LOGGING_CATEGORY(lcTyping, "ondrel.wayland")

// evdev codes (linux/input-event-codes.h) of the keys typed.
constexpr uint32_t kLeftCtrl = 29, kLeftShift = 42, kV = 47, kInsert = 110;

uint32_t nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return uint32_t(clock.elapsed());
}

} // namespace

bool WaylandDesktop::ensureKeyboard()
{
    if (m_protocols->keyboard)
        return true;
    if (!canType())
        return false;
    // Our own keymap: the keys are named by it, whatever the user's layout.
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_rule_names names{"evdev", "pc105", "us", "", nullptr};
    xkb_keymap* keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    bool ok = false;
    if (text) {
        const size_t size = std::strlen(text) + 1;
        const int fd = ::memfd_create("ondrel-keymap", MFD_CLOEXEC);
        if (fd >= 0 && ::write(fd, text, size) == ssize_t(size)) {
            m_protocols->ctrlMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
            m_protocols->shiftMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
            m_protocols->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
                m_protocols->keyboardManager, m_protocols->seat);
            zwp_virtual_keyboard_v1_keymap(m_protocols->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           uint32_t(size));
            flush();
            ok = true;
        }
        if (fd >= 0)
            ::close(fd);
        std::free(text);
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return ok;
}

void WaylandDesktop::key(uint32_t evdevCode, bool press, uint32_t modifiers)
{
    zwp_virtual_keyboard_v1_key(m_protocols->keyboard, nowMs(), evdevCode,
                                press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(m_protocols->keyboard, modifiers, 0, 0, 0);
}

bool WaylandDesktop::ownActive() const
{
    for (const auto& t : m_protocols->toplevels)
        if (t->activated && isOwn(*t))
            return true;
    return false;
}

bool WaylandDesktop::typePaste(std::function<void()> done)
{
    readEvents();
    if (!ensureKeyboard())
        return false;
    // A newer paste replaces one still waiting for its window.
    m_poll.stop();
    m_settle.stop();
    m_target = nullptr;
    m_done = std::move(done);
    if (const Toplevel* active = activeForeign()) {
        type(active);
        return true;
    }
    if (!m_remembered) {
        finishPaste(); // no window of another program had the keyboard: pasted by hand
        return true;
    }
    m_target = m_remembered;
    // One of ours has the keyboard: give it back. With none active, ours
    // just went and the compositor is handing the keyboard back itself.
    if (ownActive()) {
        zwlr_foreign_toplevel_handle_v1_activate(m_target->handle, m_protocols->seat);
        flush();
    }
    m_waited.start();
    m_poll.start();
    return true;
}

void WaylandDesktop::waitForTarget()
{
    readEvents();
    const Toplevel* active = activeForeign();
    if (m_target && active == m_target) {
        // The compositor is done; give the program a moment to take the
        // keyboard and the clipboard offer that comes with it.
        m_poll.stop();
        m_settle.start();
        return;
    }
    // Gone, another program's window took the keyboard (the user moved
    // on), or it did not come back in time: nothing is typed.
    if (!m_target || active || m_waited.elapsed() > kActivationWaitMs) {
        m_poll.stop();
        m_target = nullptr;
        finishPaste();
        qCWarning(lcTyping).noquote() << "ondrel: the window to paste into did not take the keyboard back; "
                                         "the entry is on the clipboard";
    }
}

void WaylandDesktop::type(const Toplevel* target)
{
    std::optional<PasteChord> chord = m_pasteOverride ? pasteChordFromName(m_pasteOverride()) : std::nullopt;
    if (!chord)
        chord = pasteChordFor(target->appId, target->appId);
    // Our keymap's codes for the chord's keys, and the modifier each holds.
    const auto code = [](uint32_t keysym) {
        switch (keysym) {
        case XKB_KEY_Control_L:
            return kLeftCtrl;
        case XKB_KEY_Shift_L:
            return kLeftShift;
        case XKB_KEY_Insert:
            return kInsert;
        default:
            return kV;
        }
    };
    const auto modifier = [this](uint32_t keysym) {
        return keysym == XKB_KEY_Control_L ? m_protocols->ctrlMask
               : keysym == XKB_KEY_Shift_L ? m_protocols->shiftMask
                                           : 0u;
    };
    const QList<uint32_t> keys = pasteChordKeysyms(*chord);
    uint32_t held = 0;
    for (uint32_t keysym : keys)
        key(code(keysym), true, held |= modifier(keysym));
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        key(code(*it), false, held &= ~modifier(*it));
    flush();
    finishPaste();
}

void WaylandDesktop::finishPaste()
{
    if (const auto done = std::exchange(m_done, {}))
        done();
}

void WaylandPasteTyper::typePaste()
{
    if (m_desktop.typePaste([this] { typed(); }))
        return;
    typed();
    if (std::exchange(m_saidSo, true))
        return;
    qCWarning(lcTyping).noquote() << "ondrel: this Wayland compositor lets no program type keys (no virtual "
                                     "keyboard); the entry is on the "
                                     "clipboard, paste it with Ctrl+V";
}

} // namespace ondrel::platform
