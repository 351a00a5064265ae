#pragma once

#include <Qt>
#include <QtGlobal>

class QKeyEvent;

#include <optional>

// Keys are named by the virtual key codes of the Mac keyboard (A = 0,
// V = 9, Return = 36, ...), the codes stored shortcuts use. On Linux a code
// stands for the key at the same place on the keyboard, whatever the layout
// prints on it: the evdev code of that key (the X key code is evdev + 8).
namespace ondrel::platform::keycodes {

std::optional<int> evdevForKeyCode(qint64 keyCode);
std::optional<qint64> keyCodeForEvdev(int evdev);
inline constexpr int kXKeycodeOffset = 8;

// The key code of a key event: from its hardware code on X11, else from its Qt key.
std::optional<qint64> keyCodeOf(const QKeyEvent& event);
// Modifier flags (ModifierFlags in Modifiers.h) of a Qt modifier set:
// Ctrl is control, Alt option, Super command.
quint64 modifierFlagsOf(Qt::KeyboardModifiers modifiers);
// The same in the stored shortcut bits (StoredModifiers; the keypad has none).
qint64 storedModifiersOf(Qt::KeyboardModifiers modifiers);

// For key events without a hardware code (synthetic ones): the key code of
// the key that gives this Qt key on a US keyboard.
std::optional<qint64> keyCodeForQtKey(int qtKey);
// The other way: the Qt key the key gives on a US keyboard, for desktops
// that take shortcuts as Qt keys.
std::optional<int> qtKeyForKeyCode(qint64 keyCode);

} // namespace ondrel::platform::keycodes
