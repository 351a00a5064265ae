#pragma once

namespace ondrel::platform {

// Posts the paste keystroke to the application that holds the keyboard focus.
class KeystrokePoster
{
public:
    virtual ~KeystrokePoster() = default;
    virtual void postPaste() = 0;
};

} // namespace ondrel::platform
