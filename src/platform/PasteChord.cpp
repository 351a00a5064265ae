#include "PasteChord.h"

#include <array>

namespace ondrel::platform {

namespace {

// Keysyms (X11/keysymdef.h) of the keys involved.
constexpr uint32_t kV = 0x0076;
constexpr uint32_t kInsert = 0xff63;
constexpr uint32_t kControlL = 0xffe3;
constexpr uint32_t kShiftL = 0xffe1;

// Window classes (lower case) of terminal emulators, which paste with Ctrl+Shift+V.
constexpr std::array<const char16_t*, 17> kTerminals = {
    u"gnome-terminal",
    u"gnome-terminal-server",
    u"konsole",
    u"xfce4-terminal",
    u"tilix",
    u"terminator",
    u"kitty",
    u"alacritty",
    u"org.wezfurlong.wezterm",
    u"wezterm",
    u"foot",
    u"urxvt",
    u"rxvt",
    u"st",
    u"st-256color",
    u"terminology",
    u"org.gnome.console",
};

} // namespace

std::optional<PasteChord> pasteChordFromName(const QString& name)
{
    const QString n = name.trimmed().toLower().remove(u' ');
    if (n == u"ctrl+v")
        return PasteChord::ControlV;
    if (n == u"ctrl+shift+v")
        return PasteChord::ControlShiftV;
    if (n == u"shift+insert")
        return PasteChord::ShiftInsert;
    return std::nullopt;
}

QList<uint32_t> pasteChordKeysyms(PasteChord chord)
{
    switch (chord) {
    case PasteChord::ControlShiftV:
        return {kControlL, kShiftL, kV};
    case PasteChord::ShiftInsert:
        return {kShiftL, kInsert};
    case PasteChord::ControlV:
        break;
    }
    return {kControlL, kV};
}

PasteChord pasteChordFor(const QString& wmInstance, const QString& wmClass)
{
    const QString instance = wmInstance.toLower();
    const QString cls = wmClass.toLower();
    if (instance == u"xterm" || instance == u"uxterm" || cls == u"xterm" || cls == u"uxterm")
        return PasteChord::ShiftInsert;
    for (const char16_t* terminal : kTerminals)
        if (instance == QStringView(terminal) || cls == QStringView(terminal))
            return PasteChord::ControlShiftV;
    return PasteChord::ControlV;
}

} // namespace ondrel::platform
