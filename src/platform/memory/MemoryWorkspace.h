#pragma once

#include "Workspace.h"

namespace ondrel::platform {

// A workspace whose frontmost application is set by hand.
class MemoryWorkspace final : public Workspace
{
public:
    std::optional<ApplicationInfo> frontmostApplication() const override { return m_frontmost; }
    void setFrontmostApplication(std::optional<ApplicationInfo> app) { m_frontmost = std::move(app); }
    void rememberFocus() override { ++m_rememberCount; }
    int rememberCount() const { return m_rememberCount; }

private:
    std::optional<ApplicationInfo> m_frontmost;
    int m_rememberCount = 0;
};

} // namespace ondrel::platform
