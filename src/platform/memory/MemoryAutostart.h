#pragma once

#include "Autostart.h"

namespace ondrel::platform {

// An autostart entry kept in memory that refuses changes on demand.
class MemoryAutostart final : public Autostart
{
public:
    bool isEnabled() const override { return m_enabled; }
    std::optional<QString> enable() override
    {
        ++m_calls;
        if (m_refusal)
            return m_refusal;
        m_enabled = true;
        return std::nullopt;
    }
    std::optional<QString> disable() override
    {
        ++m_calls;
        if (m_refusal)
            return m_refusal;
        m_enabled = false;
        return std::nullopt;
    }
    void setEnabled(bool on) { m_enabled = on; }
    void refuseWith(std::optional<QString> error) { m_refusal = std::move(error); }
    int calls() const { return m_calls; }

private:
    bool m_enabled = false;
    std::optional<QString> m_refusal;
    int m_calls = 0;
};

} // namespace ondrel::platform
