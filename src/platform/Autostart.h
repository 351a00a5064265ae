#pragma once

#include <QString>

#include <optional>

namespace ondrel::platform {

// Starting the program when the user logs in.
class LoginItemService
{
public:
    virtual ~LoginItemService() = default;
    virtual bool isEnabled() const = 0;
    // None on success, else what went wrong.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};

} // namespace ondrel::platform
