#pragma once

#include <QString>

#include <optional>

namespace ondrel::platform {

// The current keyboard layout: what is printed on a key.
class KeyboardLayout
{
public:
    virtual ~KeyboardLayout() = default;
    // The text the key (a key code, see KeyCodes.h) types without modifiers,
    // or none (no such key, nothing printable).
    virtual std::optional<QString> character(qint64 keyCode) const = 0;
};

} // namespace ondrel::platform
