#pragma once

#include <QString>

#include <optional>

namespace ondrel::platform {

// Starting the program when the user logs in.
class Autostart
{
public:
    virtual ~Autostart() = default;
    virtual bool isEnabled() const = 0;
    // None on success, else what went wrong.
    virtual std::optional<QString> enable() = 0;
    virtual std::optional<QString> disable() = 0;
};

} // namespace ondrel::platform
