#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace ondrel::platform {

// The keys that paste in an application; every way of typing them (XTest,
// a Wayland virtual keyboard, the desktop portal) presses the same ones.
enum class PasteChord
{
    ControlV,
    ControlShiftV,
    ShiftInsert
};

// The chord a window pastes with, by its class (X11), or by its app id
// (Wayland) or desktop id given as both: terminals take Ctrl+Shift+V, xterm
// Shift+Insert, everything else Ctrl+V.
PasteChord pasteChordFor(const QString& wmInstance, const QString& wmClass);
// "ctrl+v", "ctrl+shift+v" or "shift+insert" (case and spaces aside).
std::optional<PasteChord> pasteChordFromName(const QString& name);
// A chord's keys as keysyms (X11 and xkbcommon share them): pressed in this
// order, released in the reverse one.
QList<uint32_t> pasteChordKeysyms(PasteChord chord);

} // namespace ondrel::platform
