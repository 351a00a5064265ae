#pragma once

#include "KeyboardLayout.h"

#include <QAbstractNativeEventFilter>
#include <QString>

#include <memory>

struct xkb_context;
struct xkb_keymap;
struct xcb_connection_t;

namespace ondrel::platform {

// What the keys of an XKB keymap print, without modifiers, in the current
// group (layout) when it types Latin letters, else in the first group that
// does (a shortcut is named the way the ASCII layout names it: "V", not "М"
// on ru,us). A dead key shows its spacing accent ("^", "´").
class XkbKeyboardLayout : public KeyboardLayout
{
public:
    // A layout compiled from its names ("us", "de"; rules evdev, model
    // pc105), without a display. Null when the layout does not exist.
    static std::unique_ptr<XkbKeyboardLayout> fromNames(const QString& layout, const QString& variant = {});
    ~XkbKeyboardLayout() override;

    std::optional<QString> character(qint64 keyCode) const override;

    // The group the keys are read in (see above).
    uint32_t groupForKeys() const;

protected:
    XkbKeyboardLayout();
    void setKeymap(xkb_keymap* keymap); // takes ownership
    // The group (layout) selected now; 0 without a display.
    virtual uint32_t currentGroup() const { return 0; }
    bool typesLatinLetters(uint32_t group) const;

    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
};

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
