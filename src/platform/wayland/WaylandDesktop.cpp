#include "WaylandDesktop.h"

#include "X11KeystrokePoster.h" // the paste chord of an application, shared with X11
#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace ondrel::platform {

namespace {

// evdev codes (linux/input-event-codes.h) of the keys typed.
constexpr uint32_t kLeftCtrl = 29, kLeftShift = 42, kV = 47, kInsert = 110;
constexpr QSize kIconSize(32, 32);
constexpr int kActivationWaitMs = 300;
constexpr int kSettleMs = 30;

uint32_t nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return uint32_t(clock.elapsed());
}

} // namespace

struct WaylandDesktop::Toplevel
{
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    QString appId, pendingAppId;
    bool activated = false, pendingActivated = false;
};

struct WaylandDesktop::Protocols
{
    WaylandDesktop* owner = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevelManager = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    uint32_t ctrlMask = 0, shiftMask = 0;
    std::vector<std::unique_ptr<Toplevel>> toplevels;
    std::unique_ptr<QSocketNotifier> notifier;

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* p = static_cast<Protocols*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !p->seat)
            p->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0)
            p->toplevelManager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
                registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, 3u)));
        else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
            p->keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kRegistry = {&global, &globalRemove};

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* p = static_cast<Protocols*>(data);
        auto t = std::make_unique<Toplevel>();
        t->handle = handle;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandle, p);
        p->toplevels.push_back(std::move(t));
    }
    // The compositor is done with the list and has destroyed its side.
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
    {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
        static_cast<Protocols*>(data)->toplevelManager = nullptr;
    }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManager = {&toplevel, &finished};

    Toplevel* find(zwlr_foreign_toplevel_handle_v1* handle) const
    {
        for (const auto& t : toplevels)
            if (t->handle == handle)
                return t.get();
        return nullptr;
    }
    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {
    } // never kept: it names documents
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* id)
    {
        if (Toplevel* t = static_cast<Protocols*>(data)->find(handle))
            t->pendingAppId = QString::fromUtf8(id);
    }
    static void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states)
    {
        Toplevel* t = static_cast<Protocols*>(data)->find(handle);
        if (!t)
            return;
        t->pendingActivated = false;
        const auto* values = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                t->pendingActivated = true;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* p = static_cast<Protocols*>(data);
        Toplevel* t = p->find(handle);
        if (!t)
            return;
        t->appId = t->pendingAppId;
        t->activated = t->pendingActivated;
        if (t->activated && !p->owner->isOwn(*t))
            p->owner->m_lastForeign = t;
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* p = static_cast<Protocols*>(data);
        for (auto it = p->toplevels.begin(); it != p->toplevels.end(); ++it) {
            if ((*it)->handle != handle)
                continue;
            if (p->owner->m_lastForeign == it->get())
                p->owner->m_lastForeign = nullptr;
            if (p->owner->m_remembered == it->get())
                p->owner->m_remembered = nullptr;
            zwlr_foreign_toplevel_handle_v1_destroy(handle);
            p->toplevels.erase(it);
            return;
        }
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
    static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandle = {
        &title, &appId, &outputEnter, &outputLeave, &state, &done, &closed, &parent};
};

WaylandDesktop::WaylandDesktop(std::function<QString()> pasteOverride, DesktopEntries entries)
    : m_protocols(std::make_unique<Protocols>()), m_pasteOverride(std::move(pasteOverride)),
      m_entries(std::move(entries)), m_ownAppId(QGuiApplication::desktopFileName())
{
    if (m_ownAppId.isEmpty())
        m_ownAppId = QFileInfo(QCoreApplication::applicationFilePath()).baseName();
    m_protocols->owner = this;
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
    // One of ours has the focus (or none does): the window it was opened
    // over, else the last one seen.
    if (m_remembered)
        return m_remembered->appId;
    return m_lastForeign ? m_lastForeign->appId : QString();
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
        if (const auto entry = m_entries.match(appId, appId, appId)) {
            info.name = entry->name;
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
    m_remembered = activeForeign();
    if (!m_remembered)
        m_remembered = m_lastForeign;
}

bool WaylandDesktop::ensureKeyboard()
{
    if (m_protocols->keyboard)
        return true;
    if (!canType())
        return false;
    // Our own keymap: the keys are named by it, whatever the user's layout.
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_rule_names names{"evdev", "pc105", "us", "", nullptr};
    xkb_keymap* keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    bool ok = false;
    if (text) {
        const size_t size = std::strlen(text) + 1;
        const int fd = ::memfd_create("ondrel-keymap", MFD_CLOEXEC);
        if (fd >= 0 && ::write(fd, text, size) == ssize_t(size)) {
            m_protocols->ctrlMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
            m_protocols->shiftMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
            m_protocols->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
                m_protocols->keyboardManager, m_protocols->seat);
            zwp_virtual_keyboard_v1_keymap(m_protocols->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           uint32_t(size));
            flush();
            ok = true;
        }
        if (fd >= 0)
            ::close(fd);
        std::free(text);
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return ok;
}

void WaylandDesktop::key(uint32_t evdevCode, bool press, uint32_t modifiers)
{
    zwp_virtual_keyboard_v1_key(m_protocols->keyboard, nowMs(), evdevCode,
                                press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(m_protocols->keyboard, modifiers, 0, 0, 0);
}

bool WaylandDesktop::typePaste()
{
    readEvents();
    if (!ensureKeyboard())
        return false;
    Toplevel* target = activeForeign();
    if (!target && (m_remembered || m_lastForeign)) {
        // Our popover has the focus: give it back to the window it was opened over.
        target = m_remembered ? m_remembered : m_lastForeign;
        zwlr_foreign_toplevel_handle_v1_activate(target->handle, m_protocols->seat);
        flush();
        QElapsedTimer waited;
        waited.start();
        while (activeForeign() != target && waited.elapsed() < kActivationWaitMs) {
            pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
            ::poll(&fd, 1, 10);
            readEvents();
        }
        // The compositor is done; give the program a moment to take the
        // focus and the clipboard offer that comes with it.
        ::usleep(kSettleMs * 1000);
    }
    using Chord = X11KeystrokePoster::Chord;
    std::optional<Chord> chord =
        m_pasteOverride ? X11KeystrokePoster::chordFromName(m_pasteOverride()) : std::nullopt;
    if (!chord)
        chord = X11KeystrokePoster::chordFor(target ? target->appId : QString(),
                                             target ? target->appId : QString());
    const uint32_t ctrl = m_protocols->ctrlMask, shift = m_protocols->shiftMask;
    switch (*chord) {
    case Chord::ControlV:
        key(kLeftCtrl, true, ctrl);
        key(kV, true, ctrl);
        key(kV, false, ctrl);
        key(kLeftCtrl, false, 0);
        break;
    case Chord::ControlShiftV:
        key(kLeftCtrl, true, ctrl);
        key(kLeftShift, true, ctrl | shift);
        key(kV, true, ctrl | shift);
        key(kV, false, ctrl | shift);
        key(kLeftShift, false, ctrl);
        key(kLeftCtrl, false, 0);
        break;
    case Chord::ShiftInsert:
        key(kLeftShift, true, shift);
        key(kInsert, true, shift);
        key(kInsert, false, shift);
        key(kLeftShift, false, 0);
        break;
    }
    flush();
    return true;
}

std::optional<ApplicationInfo> WaylandWorkspace::frontmostApplication() const
{
    return m_desktop.describe(m_desktop.activeAppId());
}

void WaylandKeystrokePoster::postPaste()
{
    if (m_desktop.typePaste() || m_saidSo)
        return;
    m_saidSo = true;
    std::fputs("ondrel: this Wayland compositor lets no program type keys (no virtual keyboard); the entry "
               "is on the clipboard, paste it with Ctrl+V\n",
               stderr);
}

} // namespace ondrel::platform
