#pragma once

#include <QString>

#include <memory>

namespace ondrel {

namespace platform {
class UserDefaults;
class X11ClipboardKeeper;
class X11KeystrokePoster;
class X11Pasteboard;
class X11Workspace;
} // namespace platform

// The desktop's clipboard, focus and keyboard services, wired to the settings.
struct DesktopServices
{
    DesktopServices();
    ~DesktopServices();
    DesktopServices(DesktopServices&&) noexcept;

    std::unique_ptr<platform::X11Pasteboard> pasteboard;
    std::unique_ptr<platform::X11Workspace> workspace;
    std::unique_ptr<platform::X11KeystrokePoster> keystrokes;
    std::unique_ptr<platform::X11ClipboardKeeper> keeper;
};

// The X11 services; none when the application does not run on X11 (the
// caller then falls back to in-memory ones). Starts the clipboard keeper.
std::unique_ptr<DesktopServices> createDesktopServices(platform::UserDefaults& defaults);

// The settings as the services read them, at each use.
bool keepClipboardContents(const platform::UserDefaults& defaults);
QString pasteKeystroke(const platform::UserDefaults& defaults);

} // namespace ondrel
