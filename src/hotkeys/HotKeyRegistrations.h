#pragma once

#include "HotKeyService.h"
#include "Shortcut.h"

#include <functional>
#include <map>
#include <optional>

namespace ondrel::hotkeys {

// The layer over the system's hotkey service: one record per registration,
// ids from 1 never reused, and grabbed hotkeys suspended while one of our
// menus has the keyboard (the same combinations then come from its key
// events); hotkeys the desktop delivers stay.
class HotKeyRegistrations final
{
public:
    using Callback = std::function<void(const Shortcut&)>;
    struct HotKey
    {
        Shortcut shortcut;
        qint64 registrationId = 0;
        std::optional<quint64> reference; // none while suspended
        Callback onKeyDown;
        Callback onKeyUp;
    };

    HotKeyRegistrations(platform::HotKeyService& service, std::function<QString(const Shortcut&)> describe,
                        std::function<void(const QString&)> console);
    ~HotKeyRegistrations();
    HotKeyRegistrations(const HotKeyRegistrations&) = delete;
    HotKeyRegistrations& operator=(const HotKeyRegistrations&) = delete;

    void registerShortcut(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp);
    // Every record with that shortcut, whoever registered it.
    void unregisterShortcut(const Shortcut& shortcut);
    void registerAll();
    void updateEventHandler();

    void setMenuOpen(bool open);
    bool isMenuOpen() const { return m_menuOpen; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    // Each answers whether a registration used the event.
    bool handleHotKeyEvent(quint32 id, platform::HotKeyService::Phase phase);
    bool handleRawKeyEvent(quint32 keyCode, quint32 modifiers, platform::HotKeyService::Phase phase);

    // Whether the service holds the combination for us now (registered, not
    // refused, not suspended while a menu is open).
    bool isHeld(const Shortcut& shortcut) const;
    // Whether something outside this program already uses the combination.
    bool isSystemShortcut(const Shortcut& shortcut) const;

    const std::map<qint64, HotKey>& hotKeys() const { return m_hotKeys; }
    QString unavailableReason() const { return m_service.unavailableReason(); }
    QString assignedTriggers() const { return m_service.assignedTriggers(); }
    bool desktopAssignsKeys() const { return m_service.desktopAssignsKeys(); }
    void setDescriptionHandler(platform::HotKeyService::DescriptionHandler handler)
    {
        m_service.setDescriptionHandler(std::move(handler));
    }
    qint64 lastHotKeyId() const { return m_hotKeyId; }
    bool hasEventHandler() const { return m_eventHandler; }

private:
    void reportFailure(const Shortcut& shortcut, platform::HotKeyStatus status) const;

    platform::HotKeyService& m_service;
    std::function<QString(const Shortcut&)> m_describe;
    std::function<void(const QString&)> m_console;
    std::map<qint64, HotKey> m_hotKeys;
    qint64 m_hotKeyId = 0;
    bool m_eventHandler = false;
    bool m_menuOpen = false;
    bool m_enabled = true;
};

} // namespace ondrel::hotkeys
