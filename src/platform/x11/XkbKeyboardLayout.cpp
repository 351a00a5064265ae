#include "XkbKeyboardLayout.h"

#include "KeyCodes.h"

#include <QCoreApplication>

#include <xcb/xcb.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace ondrel::platform {

XkbKeyboardLayout::XkbKeyboardLayout() : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

XkbKeyboardLayout::~XkbKeyboardLayout()
{
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void XkbKeyboardLayout::setKeymap(xkb_keymap* keymap)
{
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
}

std::unique_ptr<XkbKeyboardLayout> XkbKeyboardLayout::fromNames(const QString& layout, const QString& variant)
{
    std::unique_ptr<XkbKeyboardLayout> result(new XkbKeyboardLayout);
    if (!result->m_context)
        return nullptr;
    const QByteArray layoutName = layout.toUtf8();
    const QByteArray variantName = variant.toUtf8();
    xkb_rule_names names{"evdev", "pc105", layoutName.constData(), variantName.constData(), nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(result->m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return nullptr;
    result->setKeymap(keymap);
    return result;
}

std::optional<QString> XkbKeyboardLayout::character(qint64 keyCode) const
{
    if (!m_keymap || keyCode < 0 || keyCode > 65535)
        return std::nullopt;
    const auto evdev = keycodes::evdevForKeyCode(keyCode);
    if (!evdev)
        return std::nullopt;
    // A fresh state: no modifier, no locked level, the first group.
    xkb_state* state = xkb_state_new(m_keymap);
    if (!state)
        return std::nullopt;
    char buffer[64];
    const int length = xkb_state_key_get_utf8(state, xkb_keycode_t(*evdev + keycodes::kXKeycodeOffset),
                                              buffer, sizeof buffer);
    xkb_state_unref(state);
    if (length <= 0 || length >= int(sizeof buffer))
        return std::nullopt;
    return QString::fromUtf8(buffer, length);
}

std::unique_ptr<X11KeyboardLayout> X11KeyboardLayout::create(xcb_connection_t* connection)
{
    std::unique_ptr<X11KeyboardLayout> layout(new X11KeyboardLayout(connection));
    uint8_t firstEvent = 0;
    if (!layout->m_context ||
        !xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstEvent,
                                     nullptr))
        return nullptr;
    layout->m_xkbEvent = firstEvent;
    layout->m_deviceId = xkb_x11_get_core_keyboard_device_id(connection);
    if (layout->m_deviceId < 0 || !layout->load())
        return nullptr;
    // Ask to hear of keyboard changes.
    const uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events(connection, xcb_xkb_id_t(layout->m_deviceId), events, 0, events, 0xff, 0xff,
                          nullptr);
    xcb_flush(connection);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(layout.get());
    return layout;
}

X11KeyboardLayout::~X11KeyboardLayout()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11KeyboardLayout::load()
{
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    setKeymap(keymap);
    ++m_loads;
    return true;
}

bool X11KeyboardLayout::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_xkbEvent)
        return false;
    // Every XKB event shares this header; its second byte is the XKB type.
    const uint8_t xkbType = reinterpret_cast<const uint8_t*>(event)[1];
    if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
        load();
    return false;
}

} // namespace ondrel::platform
