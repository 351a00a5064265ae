#include "X11HotKeyService.h"

#include "KeyCodes.h"
#include "Modifiers.h"
#include "Xcb.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <xcb/xcb_keysyms.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <vector>

namespace ondrel::platform {

namespace {

constexpr uint16_t kRelevantMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// Command is Super (Mod4), option is Alt (Mod1).
uint16_t xModifiers(quint32 stored)
{
    uint16_t mask = 0;
    if (stored & StoredModifiers::shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (stored & StoredModifiers::control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (stored & StoredModifiers::option)
        mask |= XCB_MOD_MASK_1;
    if (stored & StoredModifiers::command)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

} // namespace

X11HotKeyService::X11HotKeyService(xcb_connection_t* connection, xcb_window_t root)
    : m_connection(connection), m_root(root)
{
    // Holding a combination must not look like many presses and releases.
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (xkb && xkb->present) {
        m_xkbEvent = xkb->first_event;
        xcb::own(xcb_xkb_use_extension_reply(connection, xcb_xkb_use_extension(connection, 1, 0), nullptr));
        const uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
        xcb::own(xcb_xkb_per_client_flags_reply(
            connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0),
            nullptr));
    }
    updateLockMasks();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService()
{
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        if (m_rawKeyEvents)
            QCoreApplication::instance()->removeEventFilter(this);
    }
    for (const auto& [reference, g] : m_grabs)
        ungrab(g.keycode, g.modifiers);
    xcb_flush(m_connection);
}

void X11HotKeyService::updateLockMasks()
{
    // Num Lock is whichever modifier the Num_Lock key is mapped to.
    m_numLockMask = 0;
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(m_connection), &xcb_key_symbols_free);
    const auto numLock = xcb::own(symbols ? xcb_key_symbols_get_keycode(symbols.get(), 0xff7f) : nullptr);
    const auto mapping = xcb::own(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (numLock && mapping) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
        const int perModifier = mapping->keycodes_per_modifier;
        for (int mod = 0; mod < 8; ++mod)
            for (int k = 0; k < perModifier; ++k)
                for (const xcb_keycode_t* n = numLock.get(); *n != XCB_NO_SYMBOL; ++n)
                    if (codes[mod * perModifier + k] == *n)
                        m_numLockMask = uint16_t(1 << mod);
    }
}

HotKeyStatus X11HotKeyService::grab(xcb_keycode_t keycode, uint16_t modifiers)
{
    // Not owner events: the combination comes to the root window even when
    // one of our own windows has the focus.
    const uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, m_numLockMask,
                                 uint16_t(XCB_MOD_MASK_LOCK | m_numLockMask)};
    int taken = 0;
    for (uint16_t variant : variants) {
        if (taken > 0 && variant == 0)
            break; // no Num Lock modifier: the last two repeat the first two
        const auto error = xcb::check(
            m_connection, xcb_grab_key_checked(m_connection, 0, m_root, uint16_t(modifiers | variant),
                                               keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error) {
            for (int i = 0; i < taken; ++i)
                xcb_ungrab_key(m_connection, keycode, m_root, uint16_t(modifiers | variants[i]));
            xcb_flush(m_connection);
            return HotKeyStatus::taken;
        }
        ++taken;
    }
    return HotKeyStatus::ok;
}

void X11HotKeyService::ungrab(xcb_keycode_t keycode, uint16_t modifiers)
{
    const uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, m_numLockMask,
                                 uint16_t(XCB_MOD_MASK_LOCK | m_numLockMask)};
    for (uint16_t variant : variants)
        xcb_ungrab_key(m_connection, keycode, m_root, uint16_t(modifiers | variant));
    xcb_flush(m_connection);
}

HotKeyService::Registration X11HotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id)
{
    const auto evdev = keycodes::evdevForKeyCode(keyCode);
    // fn never reaches X, and a key we cannot place cannot be grabbed.
    if (!evdev || *evdev + keycodes::kXKeycodeOffset > 255 || (modifiers & StoredModifiers::function))
        return {HotKeyStatus::invalid, std::nullopt};
    const auto keycode = xcb_keycode_t(*evdev + keycodes::kXKeycodeOffset);
    const uint16_t mask = xModifiers(modifiers);
    for (const auto& [reference, g] : m_grabs)
        if (g.keycode == keycode && g.modifiers == mask) {
            // Ours already: a second registration shares the grab.
            const quint64 shared = m_nextReference++;
            m_grabs[shared] = {keycode, mask, id};
            return {HotKeyStatus::ok, shared};
        }
    if (const HotKeyStatus status = grab(keycode, mask); status != HotKeyStatus::ok)
        return {status, std::nullopt};
    const quint64 reference = m_nextReference++;
    m_grabs[reference] = {keycode, mask, id};
    return {HotKeyStatus::ok, reference};
}

void X11HotKeyService::unregisterHotKey(quint64 reference)
{
    const auto it = m_grabs.find(reference);
    if (it == m_grabs.end())
        return;
    const Grab g = it->second;
    m_grabs.erase(it);
    for (auto p = m_pressed.begin(); p != m_pressed.end();)
        p = p->second == reference ? m_pressed.erase(p) : std::next(p);
    for (const auto& [other, o] : m_grabs)
        if (o.keycode == g.keycode && o.modifiers == g.modifiers)
            return; // still used by another registration
    ungrab(g.keycode, g.modifiers);
}

bool X11HotKeyService::isTakenElsewhere(quint32 keyCode, quint32 modifiers)
{
    const auto evdev = keycodes::evdevForKeyCode(keyCode);
    if (!evdev || *evdev + keycodes::kXKeycodeOffset > 255 || (modifiers & StoredModifiers::function))
        return false;
    const auto keycode = xcb_keycode_t(*evdev + keycodes::kXKeycodeOffset);
    const uint16_t mask = xModifiers(modifiers);
    for (const auto& [reference, g] : m_grabs)
        if (g.keycode == keycode && g.modifiers == mask)
            return false; // ours
    // Try it as registering would, with every lock variant: a refusal of
    // any means another program holds it; else let go at once.
    if (grab(keycode, mask) != HotKeyStatus::ok)
        return true;
    ungrab(keycode, mask);
    return false;
}

void X11HotKeyService::regrabAll()
{
    for (const auto& [reference, g] : m_grabs)
        ungrab(g.keycode, g.modifiers);
    updateLockMasks();
    QList<std::pair<xcb_keycode_t, uint16_t>> done;
    QList<std::pair<xcb_keycode_t, uint16_t>> lost;
    for (const auto& [reference, g] : m_grabs) {
        const std::pair<xcb_keycode_t, uint16_t> combo{g.keycode, g.modifiers};
        if (done.contains(combo) || lost.contains(combo))
            continue;
        (grab(g.keycode, g.modifiers) == HotKeyStatus::ok ? done : lost) << combo;
    }
    // A combination another program holds now (with the new lock
    // modifiers, say) is gone for every registration of it, and said so.
    std::vector<Grab> gone;
    for (auto it = m_grabs.begin(); it != m_grabs.end();) {
        if (lost.contains(std::pair<xcb_keycode_t, uint16_t>{it->second.keycode, it->second.modifiers})) {
            gone.push_back(it->second);
            it = m_grabs.erase(it);
        } else {
            ++it;
        }
    }
    for (const Grab& g : gone)
        if (m_lostHandler)
            m_lostHandler(g.id, HotKeyStatus::taken);
}

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY ||
        (m_xkbEvent && type == m_xkbEvent &&
         reinterpret_cast<const uint8_t*>(event)[1] == XCB_XKB_NEW_KEYBOARD_NOTIFY)) {
        // The lock modifiers may have moved: grab everything again.
        regrabAll();
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->event != m_root)
        return false;
    if (type == XCB_KEY_PRESS) {
        if (m_pressed.count(key->detail))
            return true; // held down: one press is enough
        const uint16_t mask = key->state & kRelevantMask;
        for (const auto& [reference, g] : m_grabs) {
            if (g.keycode != key->detail || g.modifiers != mask)
                continue;
            m_pressed[key->detail] = reference;
            if (m_hotKeyEvents && m_hotKeyHandler)
                m_hotKeyHandler(g.id, Phase::pressed);
            return true;
        }
        return false;
    }
    // A release may come without its modifiers: match it by key.
    const auto pressed = m_pressed.find(key->detail);
    if (pressed == m_pressed.end())
        return false;
    const quint64 reference = pressed->second;
    m_pressed.erase(pressed);
    if (const auto it = m_grabs.find(reference); it != m_grabs.end() && m_hotKeyEvents && m_hotKeyHandler)
        m_hotKeyHandler(it->second.id, Phase::released);
    return true;
}

void X11HotKeyService::setRawKeyEventsEnabled(bool enabled)
{
    if (enabled == m_rawKeyEvents || !QCoreApplication::instance())
        return;
    m_rawKeyEvents = enabled;
    m_rawPressed.clear();
    // While one of our menus holds the keyboard, its key events are ours to read.
    if (enabled)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool X11HotKeyService::eventFilter(QObject* watched, QEvent* event)
{
    // Key events reach the window first and its widget after: read them once.
    if (m_rawKeyEvents && m_rawKeyHandler && watched->isWindowType() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const auto code = keycodes::keyCodeOf(*keyEvent);
        if (code && !keyEvent->isAutoRepeat()) {
            if (event->type() == QEvent::KeyPress) {
                const quint32 modifiers = quint32(keycodes::storedModifiersOf(keyEvent->modifiers()));
                if (m_rawKeyHandler(quint32(*code), modifiers, Phase::pressed)) {
                    m_rawPressed[quint32(*code)] = modifiers;
                    return true;
                }
            } else if (const auto it = m_rawPressed.find(quint32(*code)); it != m_rawPressed.end()) {
                // Its modifiers may be up already: the press tells which combination ends.
                const quint32 modifiers = it->second;
                m_rawPressed.erase(it);
                if (m_rawKeyHandler(quint32(*code), modifiers, Phase::released))
                    return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ondrel::platform
