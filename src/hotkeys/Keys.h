#pragma once

#include "Shortcut.h"

#include <QString>

#include <optional>

namespace ondrel::platform {
class KeyboardLayout;
}

namespace ondrel::hotkeys {

// The named keys, by virtual key code.
namespace Keys {
// clang-format off
inline constexpr Key a{0}, b{11}, c{8}, d{2}, e{14}, f{3}, g{5}, h{4}, i{34}, j{38}, k{40}, l{37}, m{46},
    n{45}, o{31}, p{35}, q{12}, r{15}, s{1}, t{17}, u{32}, v{9}, w{13}, x{7}, y{16}, z{6};
inline constexpr Key zero{29}, one{18}, two{19}, three{20}, four{21}, five{23}, six{22}, seven{26}, eight{28},
    nine{25};
inline constexpr Key capsLock{57}, shift{56}, function{63}, control{59}, option{58}, command{55},
    rightCommand{54}, rightOption{61}, rightControl{62}, rightShift{60};
inline constexpr Key returnKey{36}, backslash{42}, backtick{50}, comma{43}, equal{24}, minus{27}, period{47},
    quote{39}, semicolon{41}, slash{44}, space{49}, tab{48}, leftBracket{33}, rightBracket{30};
inline constexpr Key pageUp{116}, pageDown{121}, home{115}, end{119}, upArrow{126}, rightArrow{124},
    downArrow{125}, leftArrow{123};
inline constexpr Key escape{53}, deleteKey{51}, deleteForward{117}, help{114}, mute{74}, volumeUp{72},
    volumeDown{73};
inline constexpr Key f1{122}, f2{120}, f3{99}, f4{118}, f5{96}, f6{97}, f7{98}, f8{100}, f9{101}, f10{109},
    f11{103}, f12{111}, f13{105}, f14{107}, f15{113}, f16{106}, f17{64}, f18{79}, f19{80}, f20{90};
inline constexpr Key keypad0{82}, keypad1{83}, keypad2{84}, keypad3{85}, keypad4{86}, keypad5{87},
    keypad6{88}, keypad7{89}, keypad8{91}, keypad9{92}, keypadClear{71}, keypadDecimal{65},
    keypadDivide{75}, keypadEnter{76}, keypadEquals{81}, keypadMinus{78}, keypadMultiply{67},
    keypadPlus{69};
// Keys of PC keyboards the Mac lacks (see KeyCodes.cpp).
inline constexpr Key menu{110}, printScreen{0x1000 + 99}, scrollLock{0x1000 + 70}, pause{0x1000 + 119},
    f21{0x1000 + 191}, f22{0x1000 + 192}, f23{0x1000 + 193}, f24{0x1000 + 194}, play{0x1000 + 164},
    stop{0x1000 + 166}, previousTrack{0x1000 + 165}, nextTrack{0x1000 + 163};
// clang-format on
} // namespace Keys

// Every named key, in table order (125).
const QList<Key>& allKeys();

// Keys shown by a symbol or a name instead of a typed character.
enum class SpecialKey
{
    returnKey,
    deleteKey,
    deleteForward,
    end,
    escape,
    help,
    home,
    space,
    tab,
    pageUp,
    pageDown,
    upArrow,
    rightArrow,
    downArrow,
    leftArrow,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    f13,
    f14,
    f15,
    f16,
    f17,
    f18,
    f19,
    f20,
    keypad0,
    keypad1,
    keypad2,
    keypad3,
    keypad4,
    keypad5,
    keypad6,
    keypad7,
    keypad8,
    keypad9,
    keypadClear,
    keypadDecimal,
    keypadDivide,
    keypadEnter,
    keypadEquals,
    keypadMinus,
    keypadMultiply,
    keypadPlus,
    f21,
    f22,
    f23,
    f24,
    printScreen,
    scrollLock,
    pause,
    menu,
    mute,
    volumeDown,
    volumeUp,
    play,
    stop,
    previousTrack,
    nextTrack
};
inline constexpr int kSpecialKeyCount = 68;

std::optional<SpecialKey> specialKey(qint64 keyCode);
qint64 keyCode(SpecialKey key);
QString displayText(SpecialKey key);
// The menu's key-equivalent form; none for keypad keys.
std::optional<QString> menuEquivalent(SpecialKey key);
bool isFunctionKey(qint64 keyCode); // F1 … F24
// Keys that type nothing and that applications leave alone, so a shortcut
// may be the key by itself: function keys, Print, Scroll Lock, Pause and
// the media keys.
bool canStandAlone(qint64 keyCode);

// ⌃⌥⇧⌘ then 🌐︎, each present modifier once.
QString symbolicRepresentation(quint64 modifierFlags);

// The character on the key in the current layout; none for special keys,
// codes outside 0..65535 and keys whose text is not one character.
std::optional<QString> keyToCharacter(qint64 keyCode, const platform::KeyboardLayout& layout);
// "⇧⌘V": modifier symbols, then the key's text (capitalised; � when none).
QString description(const Shortcut& shortcut, const platform::KeyboardLayout& layout);
// "Shift+Super+V": how Linux desktops name a combination (Ctrl, Alt, Shift,
// Super, Fn, in that order, then the key's name). Shown in the recorder and
// in alerts; description() stays the form of the console line.
// `translated`: in the user's language (Strg+Umschalt+V in German).
QString linuxLabel(const Shortcut& shortcut, const platform::KeyboardLayout& layout, bool translated = false);
// The key as a menu item's key equivalent names it; none when it cannot.
std::optional<QString> menuEquivalentText(qint64 keyCode, const platform::KeyboardLayout& layout);

// What the hotkey subsystem says to the user, translated where a
// translation is installed.
namespace texts {
QString recordShortcut();
QString pressShortcut();
// A menu item of ours already uses the combination; `item` is its title.
QString usedByMenuItem(const QString& item);
QString usedBySystem();
QString canBeChanged();
QString ok();
QString useAnyway();
} // namespace texts

} // namespace ondrel::hotkeys
