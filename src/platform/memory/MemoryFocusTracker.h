#pragma once

#include "Workspace.h"

#include <QList>

namespace ondrel::platform {

// A workspace whose frontmost application is set by hand.
class MemoryWorkspace final : public Workspace
{
public:
    std::optional<ApplicationInfo> frontmostApplication() const override { return m_frontmost; }
    void setFrontmostApplication(std::optional<ApplicationInfo> app) { m_frontmost = std::move(app); }
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
    std::optional<ApplicationInfo> m_frontmost;
    int m_rememberCount = 0;
};

} // namespace ondrel::platform
