#pragma once

// The hotkey registry over scripted services and the "us" layout.

#include "ManualScheduler.h"
#include "MemorySettings.h"
#include "Registry.h"
#include "ScriptedAlerts.h"
#include "ScriptedHotKeyService.h"
#include "XkbKeyboardLayout.h"

#include <QStringList>

#include <memory>

namespace ondrel::test {

inline const hotkeys::Shortcut kCommandShiftV{9, 768};
inline const QString kToggle = QStringLiteral("togglePopover");
inline const QString kStoredKey = QStringLiteral("hotkeys/togglePopover");
inline const QString kDefaultJson = QStringLiteral("{\"keyCode\":9,\"modifiers\":768}");

struct ShortcutsFixture
{
    platform::MemorySettings settings;
    platform::ScriptedHotKeyService hotKeys;
    platform::ManualScheduler scheduler;
    platform::ScriptedAlerts alerts;
    std::unique_ptr<platform::XkbKeyboardLayout> layout =
        platform::XkbKeyboardLayout::fromNames(QStringLiteral("us"));
    QStringList console;
    std::unique_ptr<hotkeys::Registry> registry;

    ShortcutsFixture() { restart(); }
    // A new run of the program over the same stored settings.
    void restart()
    {
        registry.reset();
        registry = std::make_unique<hotkeys::Registry>(settings, hotKeys, *layout,
                                                       [this](const QString& line) { console << line; });
    }
    // Presses and releases a combination as the user would.
    void pressAndRelease(const hotkeys::Shortcut& s)
    {
        hotKeys.press(quint32(s.keyCode()), quint32(s.storedModifiers()),
                      platform::HotKeyService::Phase::pressed);
        hotKeys.press(quint32(s.keyCode()), quint32(s.storedModifiers()),
                      platform::HotKeyService::Phase::released);
    }
};

} // namespace ondrel::test
