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
// Modifier flags of a Qt modifier set: shift 0x20000, control (Ctrl)
// 0x40000, option (Alt) 0x80000, command (Super) 0x100000, keypad 0x200000.
quint64 modifierFlagsOf(Qt::KeyboardModifiers modifiers);
// The same in the stored shortcut bits: shift 0x200, control 0x1000,
// option 0x800, command 0x100 (the keypad has none).
qint64 carbonModifiersOf(Qt::KeyboardModifiers modifiers);

// For key events without a hardware code (synthetic ones): the key code of
// the key that gives this Qt key on a US keyboard.
std::optional<qint64> keyCodeForQtKey(int qtKey);

} // namespace ondrel::platform::keycodes
