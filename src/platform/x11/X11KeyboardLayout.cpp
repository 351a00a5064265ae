#include "X11KeyboardLayout.h"

#include <QCoreApplication>

#include <cstdlib>

#include <xcb/xcb.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace ondrel::platform {

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

uint32_t X11KeyboardLayout::currentGroup() const
{
    // Asked when a shortcut is shown, which is rare: no need to follow
    // every group switch as it happens.
    const auto reply = xcb_xkb_get_state_reply(
        m_connection, xcb_xkb_get_state(m_connection, xcb_xkb_device_spec_t(m_deviceId)), nullptr);
    if (!reply)
        return 0;
    const uint32_t group = reply->lockedGroup;
    std::free(reply);
    return group;
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
