#pragma once

#include <QtGlobal>

// The two modifier encodings every part of the program exchanges: the flags
// of key events, and the bits stored with a shortcut. On Linux, command is
// Super (Mod4), option is Alt (Mod1), control is Ctrl.
namespace ondrel::platform {

// Modifier flags of key events.
namespace ModifierFlags {
inline constexpr quint64 capsLock = 0x10000;
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 numericPad = 0x200000;
inline constexpr quint64 help = 0x400000;
inline constexpr quint64 function = 0x800000;
inline constexpr quint64 deviceIndependentMask = 0xFFFF0000;
} // namespace ModifierFlags

// The modifier bits of a stored shortcut and of hotkey registrations.
namespace StoredModifiers {
inline constexpr qint64 command = 0x100;
inline constexpr qint64 shift = 0x200;
inline constexpr qint64 option = 0x800;
inline constexpr qint64 control = 0x1000;
inline constexpr qint64 function = 0x20000;
} // namespace StoredModifiers

} // namespace ondrel::platform
