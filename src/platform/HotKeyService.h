#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace ondrel::platform {

// How a hotkey registration went.
enum class HotKeyStatus
{
    ok,
    invalid, // a combination the desktop cannot take
    taken    // someone else holds the combination
};
// The number the console line "Error registering hotkey …" prints for a
// status; scripts that watch the console know these.
inline int consoleCode(HotKeyStatus status)
{
    switch (status) {
    case HotKeyStatus::ok:
        return 0;
    case HotKeyStatus::invalid:
        return -50;
    case HotKeyStatus::taken:
        return -9878;
    }
    return -50;
}

// System-wide hotkeys. Combinations are given as a key code (see KeyCodes.h)
// and modifier bits in the stored shortcut encoding (StoredModifiers in
// Modifiers.h); each registration carries the caller's id.
class HotKeyService
{
public:
    struct Registration
    {
        HotKeyStatus status = HotKeyStatus::ok;
        std::optional<quint64> reference; // present on success
    };
    enum class Phase
    {
        pressed,
        released
    };

    virtual ~HotKeyService() = default;

    virtual Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id) = 0;
    virtual void unregisterHotKey(quint64 reference) = 0;

    // Hotkey events: the id given at registration. The handler answers
    // whether it used the event.
    using HotKeyHandler = std::function<bool(quint32 id, Phase phase)>;
    virtual void setHotKeyHandler(HotKeyHandler handler) = 0;
    // Key events of our own windows while a menu of ours has the keyboard;
    // the handler answers true to consume the event.
    using RawKeyHandler = std::function<bool(quint32 keyCode, quint32 modifiers, Phase phase)>;
    virtual void setRawKeyHandler(RawKeyHandler handler) = 0;
    virtual void setHotKeyEventsEnabled(bool enabled) = 0;
    virtual void setRawKeyEventsEnabled(bool enabled) = 0;
    // Whether registrations stay while one of our menus has the keyboard.
    // A grab of ours would take the menu's keys, so those step aside and the
    // raw key events stand in; where the desktop delivers the hotkeys, the
    // menu's keys stay the menu's and no raw key events come.
    virtual bool keepsHotKeysInMenus() const { return false; }

    // A registration that was lost and could not be taken again (after a
    // keyboard change, another program got the combination first): its id,
    // and the status registering it again gave. The registration is gone.
    using LostHandler = std::function<void(quint32 id, HotKeyStatus status)>;
    virtual void setLostHandler(LostHandler) {}

    // Whether another program already holds the combination system-wide.
    virtual bool isTakenElsewhere(quint32 keyCode, quint32 modifiers) = 0;

    // Why this desktop gives no global hotkeys at all, for the user to read
    // where the hotkey is chosen; empty when it does.
    virtual QString unavailableReason() const { return {}; }
    // Where the desktop binds the hotkeys itself (its portal): the triggers
    // it assigned, as it describes them; empty elsewhere or until known.
    virtual QString assignedTriggers() const { return {}; }
    // Whether the desktop, not the program, picks the keys (its portal):
    // a registration then only asks, and the keys are known once it answers.
    virtual bool desktopAssignsKeys() const { return false; }
    // Called when either of the two above changes, as a desktop's answer
    // can come long after the hotkey was asked for.
    using DescriptionHandler = std::function<void()>;
    virtual void setDescriptionHandler(DescriptionHandler) {}
};

} // namespace ondrel::platform
