#include "PasteChord.h"

#include <array>

namespace ondrel::platform {

namespace {

// Keysyms (X11/keysymdef.h) of the keys involved.
constexpr uint32_t kV = 0x0076;
constexpr uint32_t kInsert = 0xff63;
constexpr uint32_t kControlL = 0xffe3;
constexpr uint32_t kShiftL = 0xffe1;

// Terminal emulators, which paste with Ctrl+Shift+V, by every name a
// desktop gives them: X11 window class or instance, Wayland app id, desktop
// id (all compared in lower case, a desktop id without ".desktop").
constexpr std::array<const char16_t*, 34> kTerminals = {
    u"gnome-terminal",
    u"gnome-terminal-server",
    u"org.gnome.terminal",
    u"konsole",
    u"org.kde.konsole",
    u"yakuake",
    u"org.kde.yakuake",
    u"xfce4-terminal",
    u"org.xfce.terminal",
    u"tilix",
    u"com.gexperts.tilix",
    u"terminator",
    u"kitty",
    u"alacritty",
    u"org.alacritty.alacritty",
    u"org.wezfurlong.wezterm",
    u"wezterm",
    u"foot",
    u"footclient",
    u"org.codeberg.dnkl.foot",
    u"urxvt",
    u"rxvt",
    u"st",
    u"st-256color",
    u"terminology",
    u"org.gnome.console",
    u"kgx",
    u"ptyxis",
    u"org.gnome.ptyxis",
    u"mate-terminal",
    u"lxterminal",
    u"qterminal",
    u"sakura",
    u"com.mitchellh.ghostty",
};

// Those that paste the clipboard with Shift+Insert only.
constexpr std::array<const char16_t*, 2> kShiftInsertTerminals = {u"xterm", u"uxterm"};

template <std::size_t N>
bool listed(const std::array<const char16_t*, N>& table, const QString& instance, const QString& cls)
{
    for (const char16_t* name : table)
        if (instance == QStringView(name) || cls == QStringView(name))
            return true;
    return false;
}

QString normalised(const QString& id)
{
    QString lower = id.toLower();
    if (lower.endsWith(u".desktop"))
        lower.chop(8);
    return lower;
}

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
    const QString instance = normalised(wmInstance);
    const QString cls = normalised(wmClass);
    if (listed(kShiftInsertTerminals, instance, cls))
        return PasteChord::ShiftInsert;
    if (listed(kTerminals, instance, cls))
        return PasteChord::ControlShiftV;
    return PasteChord::ControlV;
}

} // namespace ondrel::platform
