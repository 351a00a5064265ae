#include "RecorderChecks.h"

#include "KeyCodes.h"
#include "Keys.h"
#include "Modifiers.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <functional>

namespace ondrel::hotkeys {

namespace {

QString withoutMnemonics(QString title)
{
    title.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    title.remove(u'&');
    title.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return title;
}

// The key of a menu item's shortcut in menu-equivalent form: its character
// for printable keys, the special key's form otherwise.
std::optional<QString> actionKeyText(int qtKey)
{
    if (qtKey >= 0x20 && qtKey <= 0xFF)
        return QString(QChar(qtKey)).toLower();
    if (const auto code = platform::keycodes::keyCodeForQtKey(qtKey))
        if (const auto special = specialKey(*code))
            return menuEquivalent(*special);
    return std::nullopt;
}

} // namespace

std::optional<QString> menuItemWith(const Shortcut& shortcut, const platform::KeyboardLayout& layout,
                                    const QList<QMenu*>& menus)
{
    const auto wanted = menuEquivalentText(shortcut.keyCode(), layout);
    if (!wanted)
        return std::nullopt;
    const quint64 wantedFlags = shortcut.modifiers();
    std::function<std::optional<QString>(const QMenu*)> search =
        [&](const QMenu* menu) -> std::optional<QString> {
        for (const QAction* action : menu->actions()) {
            const QKeySequence sequence = action->shortcut();
            if (!sequence.isEmpty()) {
                const QKeyCombination combination = sequence[0];
                const auto text = actionKeyText(int(combination.key()));
                const quint64 flags = platform::keycodes::modifierFlagsOf(combination.keyboardModifiers()) &
                                      ~ModifierFlags::numericPad;
                if (text && *text == *wanted && flags == wantedFlags)
                    return withoutMnemonics(action->text());
            }
            if (const QMenu* sub = action->menu())
                if (auto found = search(sub))
                    return found;
        }
        return std::nullopt;
    };
    for (const QMenu* menu : menus)
        if (auto found = search(menu))
            return found;
    return std::nullopt;
}

// Why a combination belongs to the application being typed in, or none:
// Ctrl with a letter or digit (copy, paste, undo, find, tabs; the popover's
// own Ctrl+digit), and the paste keys this program sends. Grabbed on the
// root window it would reach no application any more.
std::optional<QString> applicationKeyReason(const Shortcut& shortcut, const platform::KeyboardLayout& layout)
{
    using namespace platform;
    const qint64 modifiers = shortcut.storedModifiers();
    const auto character = keyToCharacter(shortcut.keyCode(), layout);
    if (!character || character->size() != 1)
        return std::nullopt;
    const QChar c = character->at(0);
    if (modifiers == StoredModifiers::control && (c.isLetter() || c.isDigit()))
        return QCoreApplication::translate(
            "ondrel::hotkeys", "Ctrl with a letter or digit copies, pastes, undoes, finds and switches tabs "
                               "in the application you are working in; Ondrel pastes entries with Ctrl and "
                               "a digit. As a global shortcut it would stop working everywhere.");
    if (modifiers == (StoredModifiers::control | StoredModifiers::shift) && c.toLower() == u'v')
        return QCoreApplication::translate("ondrel::hotkeys",
                                           "Terminals paste with it, and Ondrel sends it to paste into them. "
                                           "As a global shortcut it would stop working everywhere.");
    return std::nullopt;
}

} // namespace ondrel::hotkeys
