#pragma once

// The hotkey registry over scripted services and the "us" layout.

#include "KeyboardShortcuts.h"
#include "ManualMainQueue.h"
#include "MemoryUserDefaults.h"
#include "ScriptedAlerts.h"
#include "ScriptedHotKeyService.h"
#include "XkbKeyboardLayout.h"

#include <QStringList>

#include <memory>

namespace ondrel::test {

inline const KeyboardShortcuts::Shortcut kCommandShiftV{9, 768};
inline const QString kToggle = QStringLiteral("toggleBrisol");
inline const QString kStoredKey = QStringLiteral("KeyboardShortcuts_toggleBrisol");
inline const QString kDefaultJson = QStringLiteral("{\"carbonKeyCode\":9,\"carbonModifiers\":768}");

struct ShortcutsFixture
{
    platform::MemoryUserDefaults defaults;
    platform::ScriptedHotKeyService hotKeys;
    platform::ManualMainQueue queue;
    platform::ScriptedAlerts alerts;
    std::unique_ptr<platform::XkbKeyboardLayout> layout =
        platform::XkbKeyboardLayout::fromNames(QStringLiteral("us"));
    QStringList console;
    std::unique_ptr<KeyboardShortcuts::Registry> registry;

    ShortcutsFixture() { restart(); }
    // A new run of the program over the same stored settings.
    void restart()
    {
        registry.reset();
        registry = std::make_unique<KeyboardShortcuts::Registry>(
            defaults, hotKeys, *layout, [this](const QString& line) { console << line; });
    }
    // Presses and releases a combination as the user would.
    void pressAndRelease(const KeyboardShortcuts::Shortcut& s)
    {
        hotKeys.press(quint32(s.carbonKeyCode()), quint32(s.carbonModifiers()),
                      platform::HotKeyService::Phase::pressed);
        hotKeys.press(quint32(s.carbonKeyCode()), quint32(s.carbonModifiers()),
                      platform::HotKeyService::Phase::released);
    }
};

} // namespace ondrel::test
