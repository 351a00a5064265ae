#include "KeyCodes.h"

#include "Modifiers.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace ondrel::platform::keycodes {

namespace {

// Stored shortcuts name keys by Mac codes, all below 128; codes from here
// on are free for keys that keyboard lacks.
constexpr qint64 kBeyondMac = 0x1000;

struct Entry
{
    qint64 keyCode;
    int evdev;
    int qtKey; // the key's Qt key on a US layout, 0 when none stands out
};

// By position: the Mac Delete is Backspace, Forward Delete is Delete, Help
// sits where Insert is, keypad Clear where Num Lock is, Command is Super,
// Option is Alt.
constexpr Entry kEntries[] = {
    {0, 30, Qt::Key_A},
    {11, 48, Qt::Key_B},
    {8, 46, Qt::Key_C},
    {2, 32, Qt::Key_D},
    {14, 18, Qt::Key_E},
    {3, 33, Qt::Key_F},
    {5, 34, Qt::Key_G},
    {4, 35, Qt::Key_H},
    {34, 23, Qt::Key_I},
    {38, 36, Qt::Key_J},
    {40, 37, Qt::Key_K},
    {37, 38, Qt::Key_L},
    {46, 50, Qt::Key_M},
    {45, 49, Qt::Key_N},
    {31, 24, Qt::Key_O},
    {35, 25, Qt::Key_P},
    {12, 16, Qt::Key_Q},
    {15, 19, Qt::Key_R},
    {1, 31, Qt::Key_S},
    {17, 20, Qt::Key_T},
    {32, 22, Qt::Key_U},
    {9, 47, Qt::Key_V},
    {13, 17, Qt::Key_W},
    {7, 45, Qt::Key_X},
    {16, 21, Qt::Key_Y},
    {6, 44, Qt::Key_Z},
    {29, 11, Qt::Key_0},
    {18, 2, Qt::Key_1},
    {19, 3, Qt::Key_2},
    {20, 4, Qt::Key_3},
    {21, 5, Qt::Key_4},
    {23, 6, Qt::Key_5},
    {22, 7, Qt::Key_6},
    {26, 8, Qt::Key_7},
    {28, 9, Qt::Key_8},
    {25, 10, Qt::Key_9},
    {57, 58, Qt::Key_CapsLock},
    {56, 42, Qt::Key_Shift},
    {63, 464, 0},
    {59, 29, Qt::Key_Control},
    {58, 56, Qt::Key_Alt},
    {55, 125, Qt::Key_Meta},
    {54, 126, 0},
    {61, 100, Qt::Key_AltGr},
    {62, 97, 0},
    {60, 54, 0},
    {36, 28, Qt::Key_Return},
    {42, 43, Qt::Key_Backslash},
    {50, 41, Qt::Key_QuoteLeft},
    {43, 51, Qt::Key_Comma},
    {24, 13, Qt::Key_Equal},
    {27, 12, Qt::Key_Minus},
    {47, 52, Qt::Key_Period},
    {39, 40, Qt::Key_Apostrophe},
    {41, 39, Qt::Key_Semicolon},
    {44, 53, Qt::Key_Slash},
    {49, 57, Qt::Key_Space},
    {48, 15, Qt::Key_Tab},
    {33, 26, Qt::Key_BracketLeft},
    {30, 27, Qt::Key_BracketRight},
    {116, 104, Qt::Key_PageUp},
    {121, 109, Qt::Key_PageDown},
    {115, 102, Qt::Key_Home},
    {119, 107, Qt::Key_End},
    {126, 103, Qt::Key_Up},
    {124, 106, Qt::Key_Right},
    {125, 108, Qt::Key_Down},
    {123, 105, Qt::Key_Left},
    {53, 1, Qt::Key_Escape},
    {51, 14, Qt::Key_Backspace},
    {117, 111, Qt::Key_Delete},
    {114, 110, Qt::Key_Insert},
    {74, 113, Qt::Key_VolumeMute},
    {72, 115, Qt::Key_VolumeUp},
    {73, 114, Qt::Key_VolumeDown},
    {122, 59, Qt::Key_F1},
    {120, 60, Qt::Key_F2},
    {99, 61, Qt::Key_F3},
    {118, 62, Qt::Key_F4},
    {96, 63, Qt::Key_F5},
    {97, 64, Qt::Key_F6},
    {98, 65, Qt::Key_F7},
    {100, 66, Qt::Key_F8},
    {101, 67, Qt::Key_F9},
    {109, 68, Qt::Key_F10},
    {103, 87, Qt::Key_F11},
    {111, 88, Qt::Key_F12},
    {105, 183, Qt::Key_F13},
    {107, 184, Qt::Key_F14},
    {113, 185, Qt::Key_F15},
    {106, 186, Qt::Key_F16},
    {64, 187, Qt::Key_F17},
    {79, 188, Qt::Key_F18},
    {80, 189, Qt::Key_F19},
    {90, 190, Qt::Key_F20},
    {82, 82, 0},
    {83, 79, 0},
    {84, 80, 0},
    {85, 81, 0},
    {86, 75, 0},
    {87, 76, 0},
    {88, 77, 0},
    {89, 71, 0},
    {91, 72, 0},
    {92, 73, 0},
    {71, 69, Qt::Key_NumLock},
    {65, 83, 0},
    {75, 98, 0},
    {76, 96, Qt::Key_Enter},
    {81, 117, 0},
    {78, 74, 0},
    {67, 55, 0},
    {69, 78, 0},
    {10, 86, 0},              // the extra key left of Z on ISO keyboards
    {110, 127, Qt::Key_Menu}, // the Mac's code for the context-menu key
    // PC keys the Mac keyboard has no code for: kBeyondMac + evdev.
    {kBeyondMac + 99, 99, Qt::Key_Print},
    {kBeyondMac + 70, 70, Qt::Key_ScrollLock},
    {kBeyondMac + 119, 119, Qt::Key_Pause},
    {kBeyondMac + 191, 191, Qt::Key_F21},
    {kBeyondMac + 192, 192, Qt::Key_F22},
    {kBeyondMac + 193, 193, Qt::Key_F23},
    {kBeyondMac + 194, 194, Qt::Key_F24},
    {kBeyondMac + 164, 164, Qt::Key_MediaPlay},
    {kBeyondMac + 166, 166, Qt::Key_MediaStop},
    {kBeyondMac + 165, 165, Qt::Key_MediaPrevious},
    {kBeyondMac + 163, 163, Qt::Key_MediaNext},
};

} // namespace

std::optional<int> evdevForKeyCode(qint64 keyCode)
{
    for (const Entry& e : kEntries)
        if (e.keyCode == keyCode)
            return e.evdev;
    return std::nullopt;
}

std::optional<qint64> keyCodeForEvdev(int evdev)
{
    for (const Entry& e : kEntries)
        if (e.evdev == evdev)
            return e.keyCode;
    return std::nullopt;
}

std::optional<qint64> keyCodeForQtKey(int qtKey)
{
    if (qtKey == 0)
        return std::nullopt;
    // Shift-Tab is reported as a key of its own; it is the Tab key.
    if (qtKey == Qt::Key_Backtab)
        qtKey = Qt::Key_Tab;
    for (const Entry& e : kEntries)
        if (e.qtKey == qtKey)
            return e.keyCode;
    return std::nullopt;
}

std::optional<int> qtKeyForKeyCode(qint64 keyCode)
{
    for (const Entry& e : kEntries)
        if (e.keyCode == keyCode && e.qtKey != 0)
            return e.qtKey;
    return std::nullopt;
}

std::optional<qint64> keyCodeOf(const QKeyEvent& event)
{
    if (event.nativeScanCode() > quint32(kXKeycodeOffset))
        if (const auto code = keyCodeForEvdev(int(event.nativeScanCode()) - kXKeycodeOffset))
            return code;
    return keyCodeForQtKey(event.key());
}

quint64 modifierFlagsOf(Qt::KeyboardModifiers modifiers)
{
    quint64 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlags::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlags::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlags::option;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierFlags::command;
    if (modifiers & Qt::KeypadModifier)
        flags |= ModifierFlags::numericPad;
    return flags;
}

qint64 storedModifiersOf(Qt::KeyboardModifiers modifiers)
{
    qint64 stored = 0;
    if (modifiers & Qt::ShiftModifier)
        stored |= StoredModifiers::shift;
    if (modifiers & Qt::ControlModifier)
        stored |= StoredModifiers::control;
    if (modifiers & Qt::AltModifier)
        stored |= StoredModifiers::option;
    if (modifiers & Qt::MetaModifier)
        stored |= StoredModifiers::command;
    return stored;
}

} // namespace ondrel::platform::keycodes
