#pragma once

#include "Shortcut.h"

#include <QList>
#include <QString>

#include <optional>

class QMenu;

namespace ondrel::platform {
class KeyboardLayout;
}

namespace ondrel::hotkeys {

// What the recorder checks a new combination against.

// The title (without mnemonics) of the first item, at any depth of these
// menus, whose key equivalent is the combination; none when no item has it.
std::optional<QString> menuItemWith(const Shortcut& shortcut, const platform::KeyboardLayout& layout,
                                    const QList<QMenu*>& menus);

// Why the combination belongs to the application being typed in (and so
// cannot be a global shortcut); none when it does not.
std::optional<QString> applicationKeyReason(const Shortcut& shortcut, const platform::KeyboardLayout& layout);

} // namespace ondrel::hotkeys
