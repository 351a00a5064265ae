#pragma once

#include "XkbKeyboardLayout.h"

#include <QAbstractNativeEventFilter>

#include <memory>

struct xcb_connection_t;

namespace ondrel::platform {

// The live layout of an X display, loaded again whenever the server says
// the keyboard changed (setxkbmap, a layout switch).
class X11KeyboardLayout final : public XkbKeyboardLayout, public QAbstractNativeEventFilter
{
public:
    // Null when the server has no XKB.
    static std::unique_ptr<X11KeyboardLayout> create(xcb_connection_t* connection);
    ~X11KeyboardLayout() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    uint32_t currentGroup() const override;

public:
    // How many times the keymap was loaded (1 after creation).
    int loadCount() const { return m_loads; }

private:
    explicit X11KeyboardLayout(xcb_connection_t* connection) : m_connection(connection) {}
    bool load();

    xcb_connection_t* m_connection;
    int32_t m_deviceId = -1;
    uint8_t m_xkbEvent = 0;
    int m_loads = 0;
};

} // namespace ondrel::platform
