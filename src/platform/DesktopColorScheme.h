#pragma once

#include <functional>

namespace ondrel::platform {

// Whether the desktop asks programs for a dark or a light look (the colour
// scheme the user chose in the desktop's settings). All calls come from the
// main thread.
class DesktopColorScheme
{
public:
    enum class Preference
    {
        none, // the desktop says nothing (or there is no one to ask)
        dark,
        light
    };

    virtual ~DesktopColorScheme() = default;

    virtual Preference preference() const = 0;
    // Calls `fn` on the main thread whenever the preference changes, also
    // when the first answer arrives after start-up; an empty `fn` stops it.
    virtual void observeChanges(std::function<void()> fn) = 0;
};

} // namespace ondrel::platform
