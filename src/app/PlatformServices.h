#pragma once

#include <QString>

#include <memory>

class QObject;

namespace ondrel {

namespace platform {
class HotKeyService;
class KeyboardLayout;
class PasteTyper;
class Clipboard;
class PrimarySelection;
class Settings;
class FocusTracker;
class DesktopColorScheme;
} // namespace platform

// The desktop services of one platform, as interfaces. The only place that
// knows which platforms exist: a new one (Wayland) is one more branch of
// createPlatformServices.
struct PlatformServices
{
    PlatformServices();
    ~PlatformServices();
    PlatformServices(PlatformServices&&) noexcept;

    // "x11", "wayland", or "headless" when there is no desktop to talk to.
    QString name;
    std::unique_ptr<platform::Clipboard> clipboard;
    // What is selected with the mouse; none where the desktop has nothing of it.
    std::unique_ptr<platform::PrimarySelection> selection;
    std::unique_ptr<platform::FocusTracker> focus;
    std::unique_ptr<platform::PasteTyper> pasteTyper;
    std::unique_ptr<platform::HotKeyService> hotKeys;
    std::unique_ptr<platform::KeyboardLayout> layout;
    // Whether the desktop prefers a dark look (its portal's setting).
    std::unique_ptr<platform::DesktopColorScheme> colorScheme;
    // Services that work on their own once started (the X11 clipboard keeper).
    std::unique_ptr<QObject> background;
};

// Before the application exists: on a Wayland session whose compositor
// offers data control, Qt runs on Wayland; on one that does not, on XWayland
// (said once on the console). A QT_QPA_PLATFORM the user set stands.
void chooseQtPlatform();

// The services of the platform Qt runs on: the X11 ones on an X11 display,
// the Wayland ones on Wayland, else the headless set (which says on the
// console what it cannot do).
// Starts the background services. `settings` must outlive the result.
PlatformServices createPlatformServices(platform::Settings& settings);
// The headless set, whatever the platform.
PlatformServices createHeadlessServices();

// The settings as the services read them, at each use.
bool keepClipboardContents(const platform::Settings& settings);
QString pasteKeystroke(const platform::Settings& settings);

} // namespace ondrel
