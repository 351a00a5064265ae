#include "XkbKeyboardLayout.h"

#include "KeyCodes.h"

#include <xkbcommon/xkbcommon.h>

namespace ondrel::platform {

XkbKeyboardLayout::XkbKeyboardLayout() : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

XkbKeyboardLayout::~XkbKeyboardLayout()
{
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void XkbKeyboardLayout::setKeymap(xkb_keymap* keymap)
{
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
}

std::unique_ptr<XkbKeyboardLayout> XkbKeyboardLayout::fromNames(const QString& layout, const QString& variant)
{
    std::unique_ptr<XkbKeyboardLayout> result(new XkbKeyboardLayout);
    if (!result->m_context)
        return nullptr;
    const QByteArray layoutName = layout.toUtf8();
    const QByteArray variantName = variant.toUtf8();
    xkb_rule_names names{"evdev", "pc105", layoutName.constData(), variantName.constData(), nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(result->m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return nullptr;
    result->setKeymap(keymap);
    return result;
}

namespace {

xkb_keysym_t firstLevelSym(xkb_keymap* keymap, qint64 keyCode, uint32_t group)
{
    const auto evdev = keycodes::evdevForKeyCode(keyCode);
    if (!evdev)
        return XKB_KEY_NoSymbol;
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(
        keymap, xkb_keycode_t(*evdev + keycodes::kXKeycodeOffset), group, 0, &syms);
    return count == 1 ? syms[0] : XKB_KEY_NoSymbol;
}

// The spacing form of a dead key's accent: what the key shows when it is
// pressed alone.
char32_t deadKeyCharacter(xkb_keysym_t sym)
{
    switch (sym) {
    case XKB_KEY_dead_grave:
        return U'`';
    case XKB_KEY_dead_acute:
        return U'\u00B4';
    case XKB_KEY_dead_circumflex:
        return U'^';
    case XKB_KEY_dead_tilde:
        return U'~';
    case XKB_KEY_dead_macron:
        return U'\u00AF';
    case XKB_KEY_dead_breve:
        return U'\u02D8';
    case XKB_KEY_dead_abovedot:
        return U'\u02D9';
    case XKB_KEY_dead_diaeresis:
        return U'\u00A8';
    case XKB_KEY_dead_abovering:
        return U'\u02DA';
    case XKB_KEY_dead_doubleacute:
        return U'\u02DD';
    case XKB_KEY_dead_caron:
        return U'\u02C7';
    case XKB_KEY_dead_cedilla:
        return U'\u00B8';
    case XKB_KEY_dead_ogonek:
        return U'\u02DB';
    case XKB_KEY_dead_iota:
        return U'\u037A';
    case XKB_KEY_dead_voiced_sound:
        return U'\u309B';
    case XKB_KEY_dead_semivoiced_sound:
        return U'\u309C';
    case XKB_KEY_dead_belowdot:
        return U'.';
    case XKB_KEY_dead_hook:
        return U'\u02C0';
    case XKB_KEY_dead_horn:
        return U'\u031B';
    case XKB_KEY_dead_stroke:
        return U'/';
    case XKB_KEY_dead_abovecomma:
        return U'\u02BC';
    case XKB_KEY_dead_abovereversedcomma:
        return U'\u02BD';
    case XKB_KEY_dead_doublegrave:
        return U'\u02F5';
    case XKB_KEY_dead_belowcomma:
        return U',';
    case XKB_KEY_dead_currency:
        return U'\u00A4';
    case XKB_KEY_dead_greek:
        return U'\u00B5';
    default:
        return 0;
    }
}

} // namespace

bool XkbKeyboardLayout::typesLatinLetters(uint32_t group) const
{
    // Any key may carry a letter: AZERTY has A where QWERTY has Q and M
    // beside L, Dvorak and Colemak move most letters, Turkish puts i on the
    // quote key. A group that types all 26 somewhere is a Latin one.
    uint32_t seen = 0;
    const xkb_keycode_t last = xkb_keymap_max_keycode(m_keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); key <= last; ++key) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(m_keymap, key, group, 0, &syms) != 1)
            continue;
        const uint32_t c = xkb_keysym_to_utf32(syms[0]);
        if (c >= U'a' && c <= U'z')
            seen |= 1u << (c - U'a');
        else if (c >= U'A' && c <= U'Z')
            seen |= 1u << (c - U'A');
    }
    return seen == (1u << 26) - 1;
}

uint32_t XkbKeyboardLayout::groupForKeys() const
{
    if (!m_keymap)
        return 0;
    const uint32_t groups = xkb_keymap_num_layouts(m_keymap);
    const uint32_t current = currentGroup();
    if (current < groups && typesLatinLetters(current))
        return current;
    for (uint32_t g = 0; g < groups; ++g)
        if (typesLatinLetters(g))
            return g;
    // No Latin layout at all: what the keys show now is better than nothing.
    return current < groups ? current : 0;
}

std::optional<QString> XkbKeyboardLayout::character(qint64 keyCode) const
{
    if (!m_keymap || keyCode < 0 || keyCode > 65535)
        return std::nullopt;
    const xkb_keysym_t sym = firstLevelSym(m_keymap, keyCode, groupForKeys());
    if (sym == XKB_KEY_NoSymbol)
        return std::nullopt;
    if (const char32_t dead = deadKeyCharacter(sym))
        return QString::fromUcs4(&dead, 1);
    char buffer[64];
    const int length = xkb_keysym_to_utf8(sym, buffer, sizeof buffer);
    // The length counts the terminating zero; 0 means nothing printable.
    if (length <= 1 || length > int(sizeof buffer))
        return std::nullopt;
    return QString::fromUtf8(buffer, length - 1);
}

} // namespace ondrel::platform
