#pragma once

#include "FocusTracker.h"

#include <QList>

namespace ondrel::platform {

// A focus tracker whose active application is set by hand.
class MemoryFocusTracker final : public FocusTracker
{
public:
    std::optional<ApplicationInfo> activeApplication() const override { return m_active; }
    bool seesApplications() const override { return m_seesApplications; }
    void setSeesApplications(bool sees) { m_seesApplications = sees; }
    void setActiveApplication(std::optional<ApplicationInfo> app) { m_active = std::move(app); }
    void rememberFocus() override { ++m_rememberCount; }
    int rememberCount() const { return m_rememberCount; }
    bool activate(quintptr window) override
    {
        m_activated << window;
        return true;
    }
    const QList<quintptr>& activated() const { return m_activated; }

private:
    QList<quintptr> m_activated;
    std::optional<ApplicationInfo> m_active;
    int m_rememberCount = 0;
    bool m_seesApplications = true;
};

} // namespace ondrel::platform
