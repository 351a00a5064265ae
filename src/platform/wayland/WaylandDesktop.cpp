#include "WaylandDesktop.h"
#include "WaylandDesktopProtocols.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>

#include <poll.h>

namespace ondrel::platform {

namespace {

constexpr QSize kIconSize(32, 32);

} // namespace

WaylandDesktop::WaylandDesktop(std::function<QString()> pasteOverride, DesktopEntries entries)
    : m_protocols(std::make_unique<Protocols>()), m_pasteOverride(std::move(pasteOverride)),
      m_entries(std::move(entries)), m_ownAppId(QGuiApplication::desktopFileName())
{
    if (m_ownAppId.isEmpty())
        m_ownAppId = QFileInfo(QCoreApplication::applicationFilePath()).baseName();
    m_protocols->owner = this;
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, &WaylandDesktop::waitForTarget);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (const Toplevel* target = std::exchange(m_target, nullptr))
            type(target);
    });
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    m_protocols->registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_protocols->registry, &Protocols::kRegistry, m_protocols.get());
    wl_display_roundtrip(m_display);
    if (m_protocols->toplevelManager) {
        zwlr_foreign_toplevel_manager_v1_add_listener(m_protocols->toplevelManager, &Protocols::kManager,
                                                      m_protocols.get());
        wl_display_roundtrip(m_display); // the windows there already
    }
    // The keyboard is made now, not at the first paste: a seat without a
    // keyboard gains one with it, and programs take the new keyboard only
    // after they hear of it. Keys typed at once would reach nobody.
    if (ensureKeyboard())
        wl_display_roundtrip(m_display);
    m_protocols->notifier =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_protocols->notifier.get(), &QSocketNotifier::activated, this, &WaylandDesktop::readEvents);
}

WaylandDesktop::~WaylandDesktop()
{
    if (!m_display)
        return;
    m_protocols->notifier.reset();
    for (const auto& t : m_protocols->toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    if (m_protocols->keyboard)
        zwp_virtual_keyboard_v1_destroy(m_protocols->keyboard);
    if (m_protocols->keyboardManager)
        zwp_virtual_keyboard_manager_v1_destroy(m_protocols->keyboardManager);
    if (m_protocols->toplevelManager) {
        zwlr_foreign_toplevel_manager_v1_stop(m_protocols->toplevelManager);
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_protocols->toplevelManager));
    }
    if (m_protocols->seat)
        wl_seat_destroy(m_protocols->seat);
    wl_registry_destroy(m_protocols->registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

bool WaylandDesktop::seesWindows() const
{
    return m_protocols->toplevelManager != nullptr;
}

bool WaylandDesktop::canType() const
{
    return m_protocols->keyboardManager != nullptr && m_protocols->seat != nullptr;
}

void WaylandDesktop::flush()
{
    if (m_display)
        wl_display_flush(m_display);
}

// What has arrived, without waiting for more.
void WaylandDesktop::readEvents()
{
    if (!m_display)
        return;
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
    if (::poll(&fd, 1, 0) > 0)
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    wl_display_dispatch_pending(m_display);
}

bool WaylandDesktop::isOwn(const Toplevel& toplevel) const
{
    return toplevel.appId == m_ownAppId;
}

WaylandDesktop::Toplevel* WaylandDesktop::activeForeign() const
{
    for (const auto& t : m_protocols->toplevels)
        if (t->activated && !isOwn(*t))
            return t.get();
    return nullptr;
}

QString WaylandDesktop::activeAppId()
{
    readEvents();
    if (const Toplevel* t = activeForeign())
        return t->appId;
    // One of ours has the focus: the application the user came from, the
    // last other one active. Nothing has the focus: none (the window the
    // popover last opened over is long gone from the user's mind).
    if (ownActive() && m_lastForeign)
        return m_lastForeign->appId;
    return QString();
}

std::optional<ApplicationInfo> WaylandDesktop::describe(const QString& appId)
{
    if (appId.isEmpty())
        return std::nullopt;
    auto cached = m_byAppId.constFind(appId);
    if (cached == m_byAppId.constEnd()) {
        ApplicationInfo info;
        // An app_id is a desktop id ("org.gnome.Nautilus") or, for older
        // programs, their executable or class name.
        info.ids << appId;
        if (const auto entry = m_entries.match(appId, appId, appId)) {
            info.name = entry->name;
            if (entry->id != appId)
                info.ids << entry->id;
            const QIcon icon =
                QFileInfo(entry->icon).isAbsolute() ? QIcon(entry->icon) : QIcon::fromTheme(entry->icon);
            if (!icon.isNull())
                info.icon = icon.pixmap(kIconSize).toImage();
        }
        if (!info.name)
            info.name = appId;
        cached = m_byAppId.insert(appId, info);
    }
    return *cached;
}

void WaylandDesktop::rememberFocus()
{
    readEvents();
    // Only a window that has the keyboard now: an older one is not where
    // the user is.
    m_remembered = activeForeign();
}

std::optional<ApplicationInfo> WaylandFocusTracker::activeApplication() const
{
    return m_desktop.describe(m_desktop.activeAppId());
}

} // namespace ondrel::platform
