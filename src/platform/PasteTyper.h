#pragma once

#include <functional>

namespace ondrel::platform {

// Posts the paste keystroke to the application that holds the keyboard focus.
class PasteTyper
{
public:
    virtual ~PasteTyper() = default;
    // Some desktops need a moment first (a window to take the keyboard
    // back), and the event loop runs meanwhile: the function given to
    // whenTyped() runs once the keys are typed, or the paste given up.
    virtual void typePaste() = 0;
    void whenTyped(std::function<void()> then) { m_typed = std::move(then); }
    // Whether the keystroke can reach another program here at all; when it
    // cannot, the user pastes by hand and must be told it is on the clipboard.
    virtual bool canPaste() const { return true; }

protected:
    void typed() const
    {
        if (m_typed)
            m_typed();
    }

private:
    std::function<void()> m_typed;
};

} // namespace ondrel::platform
