#pragma once

namespace ondrel::platform {

// Posts the paste keystroke to the application that holds the keyboard focus.
class PasteTyper
{
public:
    virtual ~PasteTyper() = default;
    virtual void typePaste() = 0;
    // Whether the keystroke can reach another program here at all; when it
    // cannot, the user pastes by hand and must be told it is on the clipboard.
    virtual bool canPaste() const { return true; }
};

} // namespace ondrel::platform
