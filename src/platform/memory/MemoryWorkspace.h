#pragma once

#include "Workspace.h"

namespace ondrel::platform {

// A workspace whose frontmost application is set by hand.
class MemoryWorkspace final : public Workspace
{
public:
    std::optional<ApplicationInfo> frontmostApplication() const override { return m_frontmost; }
    void setFrontmostApplication(std::optional<ApplicationInfo> app) { m_frontmost = std::move(app); }

private:
    std::optional<ApplicationInfo> m_frontmost;
};

} // namespace ondrel::platform
