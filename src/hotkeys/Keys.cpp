#include "Keys.h"

#include "KeyboardLayout.h"
#include "Text.h"
#include "TextCase.h"

#include <QCoreApplication>
#include <QHash>

#include <cstdio>

namespace ondrel::hotkeys {

const QList<Key>& allKeys()
{
    using namespace Keys;
    // clang-format off
    static const QList<Key> keys = {
        a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t, u, v, w, x, y, z, zero, one, two, three,
        four, five, six, seven, eight, nine, capsLock, shift, function, control, option, command, rightCommand,
        rightOption, rightControl, rightShift, returnKey, backslash, backtick, comma, equal, minus, period,
        quote, semicolon, slash, space, tab, leftBracket, rightBracket, pageUp, pageDown, home, end, upArrow,
        rightArrow, downArrow, leftArrow, escape, deleteKey, deleteForward, help, mute, volumeUp, volumeDown,
        f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12, f13, f14, f15, f16, f17, f18, f19, f20, keypad0,
        keypad1, keypad2, keypad3, keypad4, keypad5, keypad6, keypad7, keypad8, keypad9, keypadClear,
        keypadDecimal, keypadDivide, keypadEnter, keypadEquals, keypadMinus, keypadMultiply, keypadPlus, menu,
        printScreen, scrollLock, pause, f21, f22, f23, f24, play, stop, previousTrack, nextTrack,
    };
    // clang-format on
    return keys;
}

namespace {

struct Special
{
    SpecialKey key;
    qint64 code;
    const char16_t* display; // null: the localised "space_key"
    const char16_t* menu;    // null: none
};

// clang-format off
constexpr Special kSpecials[] = {
    {SpecialKey::returnKey, 36, u"\u21A9", u"\u21A9"},
    {SpecialKey::deleteKey, 51, u"\u232B", u"\u232B"},
    {SpecialKey::deleteForward, 117, u"\u2326", u"\u2326"},
    {SpecialKey::end, 119, u"\u2198", u"\u2198"},
    {SpecialKey::escape, 53, u"\u238B", u"\u238B"},
    {SpecialKey::help, 114, u"?\u20DD", u"?\u20DD"},
    {SpecialKey::home, 115, u"\u2196", u"\u2196"},
    {SpecialKey::space, 49, nullptr, u" "},
    {SpecialKey::tab, 48, u"\u21E5", u"\u21E5"},
    {SpecialKey::pageUp, 116, u"\u21DE", u"\u21DE"},
    {SpecialKey::pageDown, 121, u"\u21DF", u"\u21DF"},
    {SpecialKey::upArrow, 126, u"\u2191", u"\u2191"},
    {SpecialKey::rightArrow, 124, u"\u2192", u"\u2192"},
    {SpecialKey::downArrow, 125, u"\u2193", u"\u2193"},
    {SpecialKey::leftArrow, 123, u"\u2190", u"\u2190"},
    {SpecialKey::f1, 122, u"F1", u"\uF704"}, {SpecialKey::f2, 120, u"F2", u"\uF705"},
    {SpecialKey::f3, 99, u"F3", u"\uF706"}, {SpecialKey::f4, 118, u"F4", u"\uF707"},
    {SpecialKey::f5, 96, u"F5", u"\uF708"}, {SpecialKey::f6, 97, u"F6", u"\uF709"},
    {SpecialKey::f7, 98, u"F7", u"\uF70A"}, {SpecialKey::f8, 100, u"F8", u"\uF70B"},
    {SpecialKey::f9, 101, u"F9", u"\uF70C"}, {SpecialKey::f10, 109, u"F10", u"\uF70D"},
    {SpecialKey::f11, 103, u"F11", u"\uF70E"}, {SpecialKey::f12, 111, u"F12", u"\uF70F"},
    {SpecialKey::f13, 105, u"F13", u"\uF710"}, {SpecialKey::f14, 107, u"F14", u"\uF711"},
    {SpecialKey::f15, 113, u"F15", u"\uF712"}, {SpecialKey::f16, 106, u"F16", u"\uF713"},
    {SpecialKey::f17, 64, u"F17", u"\uF714"}, {SpecialKey::f18, 79, u"F18", u"\uF715"},
    {SpecialKey::f19, 80, u"F19", u"\uF716"}, {SpecialKey::f20, 90, u"F20", u"\uF717"},
    {SpecialKey::keypad0, 82, u"0\u20E3", nullptr}, {SpecialKey::keypad1, 83, u"1\u20E3", nullptr},
    {SpecialKey::keypad2, 84, u"2\u20E3", nullptr}, {SpecialKey::keypad3, 85, u"3\u20E3", nullptr},
    {SpecialKey::keypad4, 86, u"4\u20E3", nullptr}, {SpecialKey::keypad5, 87, u"5\u20E3", nullptr},
    {SpecialKey::keypad6, 88, u"6\u20E3", nullptr}, {SpecialKey::keypad7, 89, u"7\u20E3", nullptr},
    {SpecialKey::keypad8, 91, u"8\u20E3", nullptr}, {SpecialKey::keypad9, 92, u"9\u20E3", nullptr},
    {SpecialKey::keypadClear, 71, u"\u2612\u20E3", nullptr},
    {SpecialKey::keypadDecimal, 65, u".\u20E3", nullptr},
    {SpecialKey::keypadDivide, 75, u"/\u20E3", nullptr},
    {SpecialKey::keypadEnter, 76, u"\u21A9\u20E3", nullptr},
    {SpecialKey::keypadEquals, 81, u"=\u20E3", nullptr},
    {SpecialKey::keypadMinus, 78, u"-\u20E3", nullptr},
    {SpecialKey::keypadMultiply, 67, u"*\u20E3", nullptr},
    {SpecialKey::keypadPlus, 69, u"+\u20E3", nullptr},
    // The Mac draws none of these: their names, and the forms Mac menus
    // give the function keys it knows.
    {SpecialKey::f21, Keys::f21.rawValue, u"F21", u"\uF718"},
    {SpecialKey::f22, Keys::f22.rawValue, u"F22", u"\uF719"},
    {SpecialKey::f23, Keys::f23.rawValue, u"F23", u"\uF71A"},
    {SpecialKey::f24, Keys::f24.rawValue, u"F24", u"\uF71B"},
    {SpecialKey::printScreen, Keys::printScreen.rawValue, u"Print", u"\uF72E"},
    {SpecialKey::scrollLock, Keys::scrollLock.rawValue, u"Scroll Lock", u"\uF72F"},
    {SpecialKey::pause, Keys::pause.rawValue, u"Pause", u"\uF730"},
    {SpecialKey::menu, Keys::menu.rawValue, u"Menu", u"\uF735"},
    {SpecialKey::mute, Keys::mute.rawValue, u"Mute", u"Mute"},
    {SpecialKey::volumeDown, Keys::volumeDown.rawValue, u"Volume Down", u"Volume Down"},
    {SpecialKey::volumeUp, Keys::volumeUp.rawValue, u"Volume Up", u"Volume Up"},
    {SpecialKey::play, Keys::play.rawValue, u"Play", u"Play"},
    {SpecialKey::stop, Keys::stop.rawValue, u"Stop", u"Stop"},
    {SpecialKey::previousTrack, Keys::previousTrack.rawValue, u"Previous", u"Previous"},
    {SpecialKey::nextTrack, Keys::nextTrack.rawValue, u"Next", u"Next"},
};
// clang-format on
static_assert(std::size(kSpecials) == kSpecialKeyCount);

const Special& entry(SpecialKey key)
{
    return kSpecials[int(key)];
}

} // namespace

std::optional<SpecialKey> specialKey(qint64 code)
{
    static const QHash<qint64, SpecialKey> map = [] {
        QHash<qint64, SpecialKey> m;
        for (const Special& s : kSpecials)
            m.insert(s.code, s.key);
        return m;
    }();
    if (const auto it = map.constFind(code); it != map.constEnd())
        return *it;
    return std::nullopt;
}

qint64 keyCode(SpecialKey key)
{
    return entry(key).code;
}

QString displayText(SpecialKey key)
{
    const Special& s = entry(key);
    return s.display ? QString::fromUtf16(s.display) : QStringLiteral("Space");
}

std::optional<QString> menuEquivalent(SpecialKey key)
{
    const Special& s = entry(key);
    return s.menu ? std::optional(QString::fromUtf16(s.menu)) : std::nullopt;
}

bool isFunctionKey(qint64 code)
{
    const auto special = specialKey(code);
    return special && ((*special >= SpecialKey::f1 && *special <= SpecialKey::f20) ||
                       (*special >= SpecialKey::f21 && *special <= SpecialKey::f24));
}

bool canStandAlone(qint64 code)
{
    const auto special = specialKey(code);
    return isFunctionKey(code) ||
           (special && *special >= SpecialKey::printScreen && *special != SpecialKey::menu);
}

QString symbolicRepresentation(quint64 flags)
{
    QString out;
    if (flags & ModifierFlags::control)
        out += QChar(0x2303);
    if (flags & ModifierFlags::option)
        out += QChar(0x2325);
    if (flags & ModifierFlags::shift)
        out += QChar(0x21E7);
    if (flags & ModifierFlags::command)
        out += QChar(0x2318);
    if (flags & ModifierFlags::function)
        out += QStringLiteral("\U0001F310\uFE0E");
    return out;
}

std::optional<QString> keyToCharacter(qint64 code, const platform::KeyboardLayout& layout)
{
    if (specialKey(code) || code < 0 || code > 65535)
        return std::nullopt;
    const auto text = layout.character(code);
    if (!text || text->isEmpty() || text::characterCount(*text) != 1)
        return std::nullopt;
    return text;
}

QString description(const Shortcut& shortcut, const platform::KeyboardLayout& layout)
{
    QString out = symbolicRepresentation(shortcut.modifiers());
    if (const auto special = specialKey(shortcut.keyCode()))
        return out + displayText(*special);
    return out +
           text::capitalized(keyToCharacter(shortcut.keyCode(), layout).value_or(QString(QChar(0xFFFD))));
}

namespace {

constexpr const char* kKeysContext = "ondrel::hotkeys::Keys";

// A label part in the user's language, as desktops translate key names
// (KDE's German says Strg for Ctrl); scripts and the console get English.
QString named(const char* english, bool translated)
{
    return translated ? QCoreApplication::translate(kKeysContext, english) : QString::fromUtf8(english);
}

// The names of the keys beyond F20 that linuxKeyName() takes from the table above.
[[maybe_unused]] constexpr const char* kTableNames[] = {
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Print"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Scroll Lock"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Pause"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Menu"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Mute"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Volume Down"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Volume Up"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Play"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Stop"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Previous"),
    QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Next"),
};

// Key names as PC keyboards and Linux desktops print them, by SpecialKey.
QString linuxKeyName(SpecialKey key, bool translated)
{
    static const char* const kNames[] = {QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Return"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Backspace"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Delete"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "End"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Esc"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Insert"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Home"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Space"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Tab"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Page Up"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Page Down"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Up"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Right"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Down"),
                                         QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Left")};
    const int index = int(key);
    if (index < int(std::size(kNames)))
        return named(kNames[index], translated);
    if (key >= SpecialKey::f1 && key <= SpecialKey::f20)
        return QStringLiteral("F%1").arg(int(key) - int(SpecialKey::f1) + 1);
    if (key >= SpecialKey::f21) // PC names already
        return named(displayText(key).toUtf8().constData(), translated);
    // The keypad's keys: "Num" and what the key shows.
    const auto keypad = [translated](const QString& shown) {
        return named(QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Num %1"), translated).arg(shown);
    };
    if (key >= SpecialKey::keypad0 && key <= SpecialKey::keypad9)
        return keypad(QString::number(int(key) - int(SpecialKey::keypad0)));
    switch (key) {
    case SpecialKey::keypadClear:
        return named(QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Num Lock"), translated);
    case SpecialKey::keypadDecimal:
        return keypad(QStringLiteral("."));
    case SpecialKey::keypadDivide:
        return keypad(QStringLiteral("/"));
    case SpecialKey::keypadEnter:
        return keypad(named(QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Enter"), translated));
    case SpecialKey::keypadEquals:
        return keypad(QStringLiteral("="));
    case SpecialKey::keypadMinus:
        return keypad(QStringLiteral("-"));
    case SpecialKey::keypadMultiply:
        return keypad(QStringLiteral("*"));
    case SpecialKey::keypadPlus:
        return keypad(QStringLiteral("+"));
    default:
        return {};
    }
}

} // namespace

QString linuxLabel(const Shortcut& shortcut, const platform::KeyboardLayout& layout, bool translated)
{
    const quint64 flags = shortcut.modifiers();
    QString out;
    const std::pair<quint64, const char*> names[] = {
        {ModifierFlags::control, QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Ctrl")},
        {ModifierFlags::option, QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Alt")},
        {ModifierFlags::shift, QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Shift")},
        {ModifierFlags::command, QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Super")},
        {ModifierFlags::function, QT_TRANSLATE_NOOP("ondrel::hotkeys::Keys", "Fn")}};
    for (const auto& [flag, name] : names)
        if (flags & flag)
            out += named(name, translated) + u'+';
    if (const auto special = specialKey(shortcut.keyCode()))
        return out + linuxKeyName(*special, translated);
    return out +
           text::capitalized(keyToCharacter(shortcut.keyCode(), layout).value_or(QString(QChar(0xFFFD))));
}

std::optional<QString> menuEquivalentText(qint64 code, const platform::KeyboardLayout& layout)
{
    if (const auto special = specialKey(code))
        return menuEquivalent(*special);
    return keyToCharacter(code, layout);
}

namespace texts {

QString recordShortcut()
{
    return QCoreApplication::translate("ondrel::hotkeys", "Record Shortcut");
}
QString pressShortcut()
{
    return QCoreApplication::translate("ondrel::hotkeys", "Press Shortcut");
}
QString usedByMenuItem(const QString& item)
{
    return QCoreApplication::translate(
               "ondrel::hotkeys",
               "This keyboard shortcut cannot be used as it is already used by the \u201C%1\u201D menu item.")
        .arg(item);
}
QString usedBySystem()
{
    return QCoreApplication::translate(
        "ondrel::hotkeys",
        "This keyboard shortcut cannot be used as it is already used by another application or by the "
        "desktop.");
}
QString canBeChanged()
{
    return QCoreApplication::translate(
        "ondrel::hotkeys", "Most desktops let you change their keyboard shortcuts in the keyboard settings.");
}
QString ok()
{
    return QCoreApplication::translate("ondrel::hotkeys", "OK");
}
QString useAnyway()
{
    return QCoreApplication::translate("ondrel::hotkeys", "Use Anyway");
}
} // namespace texts

} // namespace ondrel::hotkeys
