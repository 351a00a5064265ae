#pragma once

#include "HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

#include <map>

namespace ondrel::platform {

// Global hotkeys as passive key grabs on the root window: each combination is
// grabbed with every Caps Lock / Num Lock variant, a grab another program
// holds is refused at once, autorepeat is detectable so holding the keys
// gives one press and one release. Key codes are positions, so a layout
// change keeps them; the lock modifiers are looked up again on a change.
class X11HotKeyService final : public QObject, public HotKeyService, public QAbstractNativeEventFilter
{
public:
    X11HotKeyService(xcb_connection_t* connection, xcb_window_t root);
    ~X11HotKeyService() override;

    Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void unregisterHotKey(quint64 reference) override;
    void setHotKeyHandler(HotKeyHandler handler) override { m_hotKeyHandler = std::move(handler); }
    void setRawKeyHandler(RawKeyHandler handler) override { m_rawKeyHandler = std::move(handler); }
    void setLostHandler(LostHandler handler) override { m_lostHandler = std::move(handler); }
    void setHotKeyEventsEnabled(bool enabled) override { m_hotKeyEvents = enabled; }
    void setRawKeyEventsEnabled(bool enabled) override;
    bool isTakenElsewhere(quint32 keyCode, quint32 modifiers) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Grab
    {
        xcb_keycode_t keycode;
        uint16_t modifiers; // X modifier mask without the locks
        quint32 id;
    };
    // Grabs every lock variant; on a refusal, lets go of those taken.
    HotKeyStatus grab(xcb_keycode_t keycode, uint16_t modifiers);
    void ungrab(xcb_keycode_t keycode, uint16_t modifiers);
    void updateLockMasks();
    void regrabAll();

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    uint16_t m_numLockMask = 0;
    uint8_t m_xkbEvent = 0;
    std::map<quint64, Grab> m_grabs;
    quint64 m_nextReference = 1;
    std::map<xcb_keycode_t, quint64> m_pressed; // key code → reference of the grab pressed
    std::map<quint32, quint32> m_rawPressed;    // key code → modifiers, for combinations typed into a menu
    HotKeyHandler m_hotKeyHandler;
    RawKeyHandler m_rawKeyHandler;
    LostHandler m_lostHandler;
    bool m_hotKeyEvents = false;
    bool m_rawKeyEvents = false;
};

} // namespace ondrel::platform
