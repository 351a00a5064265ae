#pragma once

#include "DesktopColorScheme.h"

namespace ondrel::platform {

// A desktop colour scheme set by hand: the test double of the portal's.
class MemoryColorScheme final : public DesktopColorScheme
{
public:
    Preference preference() const override { return m_preference; }
    void observeChanges(std::function<void()> fn) override { m_onChange = std::move(fn); }

    // The user switches the desktop's scheme.
    void set(Preference preference)
    {
        if (preference == m_preference)
            return;
        m_preference = preference;
        if (m_onChange)
            m_onChange();
    }

private:
    Preference m_preference = Preference::none;
    std::function<void()> m_onChange;
};

} // namespace ondrel::platform
