#include "PlatformServices.h"

#include "ClipboardData.h"

#include "KdeGlobalAccel.h"
#include "NullServices.h"
#include "PortalColorScheme.h"
#include "PortalGlobalShortcuts.h"
#include "PortalKeyboard.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "XkbKeyboardLayout.h"

// The desktops this build talks to (ONDREL_WITH_X11, ONDREL_WITH_WAYLAND in CMake).
#if ONDREL_HAVE_X11
#include "X11Clipboard.h"
#include "X11ClipboardKeeper.h"
#include "X11FocusTracker.h"
#include "X11HotKeyService.h"
#include "X11KeyboardLayout.h"
#include "X11PasteTyper.h"
#include "X11PrimarySelection.h"
#endif
#if ONDREL_HAVE_WAYLAND
#include "DataControlConnection.h"
#include "WaylandClipboard.h"
#include "WaylandDesktop.h"
#include "WaylandProbe.h"
#endif

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#if ONDREL_HAVE_X11
#include <QClipboard>
#include <QtGui/qguiapplication_platform.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>

Q_LOGGING_CATEGORY(lcDesktop, "ondrel.desktop")

namespace ondrel {

PlatformServices::PlatformServices() = default;
PlatformServices::~PlatformServices() = default;
PlatformServices::PlatformServices(PlatformServices&&) noexcept = default;

bool keepClipboardContents(const platform::Settings& settings)
{
    return settings.boolean(keys::keepClipboardContents);
}

QString pasteKeystroke(const platform::Settings& settings)
{
    return settings.string(keys::pasteKeystroke).value_or(QString());
}

namespace {

// Key labels follow the layout; without a live keymap, a US keyboard's.
std::unique_ptr<platform::KeyboardLayout> offlineLayout()
{
    return platform::XkbKeyboardLayout::fromNames(QStringLiteral("us"));
}

// Global hotkeys only as the desktop grants them: KDE's own shortcut
// service, which serves every program; else the desktop portal; else none,
// and the user binds a key to `ondrel toggle`.
std::unique_ptr<platform::HotKeyService> desktopHotKeys()
{
    if (auto kde = platform::KdeGlobalAccel::create())
        return kde;
    if (auto portal = platform::PortalGlobalShortcuts::create())
        return portal;
    return std::make_unique<platform::NullHotKeyService>();
}

// The portal's keyboard (the desktop asks the user first); null where the
// portal offers none.
std::unique_ptr<platform::PortalKeyboard> portalKeyboard(platform::Settings& settings,
                                                         std::function<QString()> targetApp)
{
    return platform::PortalKeyboard::create(
        {[&settings] { return pasteKeystroke(settings); }, std::move(targetApp),
         [&settings] { return settings.string(keys::remoteDesktopRestoreToken).value_or(QString()); },
         [&settings](const QString& token) { settings.setString(keys::remoteDesktopRestoreToken, token); }});
}

#if ONDREL_HAVE_X11
// An X server that is XWayland, beside a Wayland compositor (GNOME, or a
// Qt platform forced to xcb on any Wayland desktop): every version names its
// outputs XWAYLAND0, XWAYLAND1...
bool isXWayland()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [](const QScreen* screen) { return screen->name().startsWith(u"XWAYLAND"); });
}

PlatformServices createX11Services(xcb_connection_t* connection, platform::Settings& settings)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    PlatformServices services;
    services.name = QStringLiteral("x11");
    auto clipboard = std::make_unique<platform::X11Clipboard>(QGuiApplication::clipboard());
    auto focus = std::make_unique<platform::X11FocusTracker>(connection, root);
    // On XWayland, key grabs fire and XTest types only while an X11 window
    // has the keyboard, never in a native Wayland window: the desktop's own
    // services serve both, where it offers them.
    const bool xwayland = isXWayland();
    if (xwayland)
        services.pasteTyper = portalKeyboard(settings, [tracker = focus.get()] {
            const xcb_window_t window = tracker->rememberedWindow();
            if (!window)
                return QString(); // a Wayland window, which X11 does not see
            const auto [instance, windowClass] = tracker->windowClass(window);
            return windowClass.isEmpty() ? instance : windowClass;
        });
    if (!services.pasteTyper)
        services.pasteTyper = std::make_unique<platform::X11PasteTyper>(
            connection, root, *focus, [&settings] { return pasteKeystroke(settings); });
    auto keeper = std::make_unique<platform::X11ClipboardKeeper>(
        connection, root, *clipboard, [&settings] { return keepClipboardContents(settings); });
    keeper->start(); // another clipboard manager may already do the job
    services.background = std::move(keeper);
    services.clipboard = std::move(clipboard);
    services.selection =
        std::make_unique<platform::X11PrimarySelection>(QGuiApplication::clipboard(), connection, root);
    services.focus = std::move(focus);
    if (xwayland)
        services.hotKeys = desktopHotKeys();
    else
        services.hotKeys = std::make_unique<platform::X11HotKeyService>(connection, root);
    services.layout = platform::X11KeyboardLayout::create(connection);
    if (!services.layout)
        services.layout = offlineLayout();
    return services;
}
#endif

#if ONDREL_HAVE_WAYLAND
PlatformServices createWaylandServices(platform::Settings& settings)
{
    auto clipboard = std::make_unique<platform::DataControlConnection>();
    if (!clipboard->isAvailable()) {
        qCWarning(lcDesktop).noquote()
            << "ondrel: this Wayland compositor lets no clipboard manager see the clipboard (no data "
               "control); the clipboard is not watched, only the saved history is shown";
        return createHeadlessServices();
    }
    PlatformServices services;
    services.name = QStringLiteral("wayland");
    // A program that quits takes its copy with it; we keep it, as X11's
    // clipboard manager does.
    platform::DataControlConnection& connection = *clipboard;
    connection.setKeepContents(keepClipboardContents(settings));
    auto board = std::make_unique<platform::WaylandClipboard>(std::move(clipboard));
    settings.observe(keys::keepClipboardContents, board.get(), [&settings, &connection] {
        connection.setKeepContents(keepClipboardContents(settings));
    });
    services.clipboard = std::move(board);
    services.selection = std::make_unique<platform::WaylandPrimarySelection>(connection);
    auto desktop =
        std::make_unique<platform::WaylandDesktop>([&settings] { return pasteKeystroke(settings); });
    if (desktop->seesWindows())
        services.focus = std::make_unique<platform::WaylandFocusTracker>(*desktop);
    else
        services.focus = std::make_unique<platform::NullFocusTracker>();
    // The compositor's virtual keyboard, else the portal's; without either
    // it says once that the user pastes himself.
    if (!desktop->canType())
        services.pasteTyper =
            portalKeyboard(settings, [target = desktop.get()] { return target->activeAppId(); });
    if (!services.pasteTyper)
        services.pasteTyper = std::make_unique<platform::WaylandPasteTyper>(*desktop);
    services.background = std::move(desktop);
    services.hotKeys = desktopHotKeys();
    services.layout = offlineLayout();
    return services;
}
#endif

} // namespace

void chooseQtPlatform()
{
    // The user's choice stands; so does an X11 session.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
#if ONDREL_HAVE_WAYLAND
    const std::optional<QStringList> globals = platform::waylandGlobals();
    if (!globals)
        return;
    if (platform::offersDataControl(*globals)) {
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
        return;
    }
#endif
#if ONDREL_HAVE_X11
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
#if ONDREL_HAVE_WAYLAND
        qCWarning(lcDesktop).noquote()
            << "ondrel: this Wayland compositor lets no clipboard manager see the clipboard (no data "
               "control); using the X11 clipboard through XWayland, which sees the copies the "
               "compositor passes on to X11 programs";
#else
        qCWarning(lcDesktop).noquote()
            << "ondrel: this build has no Wayland support; using the X11 clipboard through XWayland, "
               "which sees the copies the compositor passes on to X11 programs";
#endif
    }
#endif
}

PlatformServices createHeadlessServices()
{
    PlatformServices services;
    services.name = QStringLiteral("headless");
    services.clipboard = std::make_unique<platform::NullClipboard>();
    services.focus = std::make_unique<platform::NullFocusTracker>();
    services.pasteTyper = std::make_unique<platform::NullPasteTyper>();
    services.hotKeys = std::make_unique<platform::NullHotKeyService>();
    services.layout = offlineLayout();
    return services;
}

static PlatformServices servicesOfThisPlatform(platform::Settings& settings)
{
#if ONDREL_HAVE_X11
    // The X11 interface exists on every platform of an X11-enabled Qt; only
    // on xcb does it have a connection.
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
        return createX11Services(connection, settings);
#endif
#if ONDREL_HAVE_WAYLAND
    if (QGuiApplication::platformName() == u"wayland")
        return createWaylandServices(settings);
#else
    (void)settings;
#endif
#if ONDREL_HAVE_X11
    qCWarning(lcDesktop).noquote() << QStringLiteral(
                                          "ondrel: no X11 display (Qt platform \"%1\"); the clipboard "
                                          "is not watched, only the saved history is shown")
                                          .arg(QGuiApplication::platformName());
#else
    qCWarning(lcDesktop).noquote() << QStringLiteral(
                                          "ondrel: this build has no X11 support (Qt platform \"%1\"); "
                                          "the clipboard is not watched, only the saved history is shown")
                                          .arg(QGuiApplication::platformName());
#endif
    return createHeadlessServices();
}

PlatformServices createPlatformServices(platform::Settings& settings)
{
    PlatformServices services = servicesOfThisPlatform(settings);
    // Any desktop, also one whose clipboard stays hidden, may prefer a dark look.
    services.colorScheme = std::make_unique<platform::PortalColorScheme>();
    return services;
}

} // namespace ondrel
