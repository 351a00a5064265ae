#include "X11FocusTracker.h"
#include "Xcb.h"

#include <QFileInfo>
#include <QIcon>

#include <unistd.h>

namespace ondrel::platform {

namespace {
constexpr int kIconSize = 64;
}

X11FocusTracker::X11FocusTracker(xcb_connection_t* connection, xcb_window_t root, DesktopEntries entries)
    : m_connection(connection), m_root(root), m_entries(std::move(entries))
{}

xcb_atom_t X11FocusTracker::atom(const char* name) const
{
    const QByteArray key(name);
    if (const auto it = m_atoms.constFind(key); it != m_atoms.constEnd())
        return *it;
    const xcb_atom_t value = xcb::atom(m_connection, name);
    m_atoms.insert(key, value);
    return value;
}

QByteArray X11FocusTracker::property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                     uint32_t maxLongs) const
{
    const auto reply = xcb::own(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, maxLongs), nullptr));
    if (!reply)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

xcb_window_t X11FocusTracker::activeWindow() const
{
    const QByteArray active = property(m_root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return active.size() >= 4 ? *reinterpret_cast<const xcb_window_t*>(active.constData()) : 0;
}

bool X11FocusTracker::isOwn(xcb_window_t window) const
{
    const QByteArray pid = property(window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    return pid.size() >= 4 && *reinterpret_cast<const uint32_t*>(pid.constData()) == uint32_t(::getpid());
}

bool X11FocusTracker::activate(quintptr window)
{
    const xcb_atom_t activeWindow = atom("_NET_ACTIVE_WINDOW");
    if (activeWindow == XCB_ATOM_NONE || window == 0)
        return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window);
    event.type = activeWindow;
    event.data.data32[0] = 2; // source: a pager
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
    return true;
}

xcb_window_t X11FocusTracker::activeForeignWindow() const
{
    const xcb_window_t window = activeWindow();
    if (window == 0 || isOwn(window))
        return 0;
    m_lastForeignWindow = window;
    return window;
}

std::pair<QString, QString> X11FocusTracker::windowClass(xcb_window_t window) const
{
    const QList<QByteArray> parts = property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).split('\0');
    return {parts.value(0).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(0)),
            parts.value(1).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(1))};
}

std::optional<ApplicationInfo> X11FocusTracker::activeApplication() const
{
    const xcb_window_t window = activeWindow();
    if (window == 0)
        return std::nullopt; // nothing has the focus
    if (isOwn(window)) {
        // One of our windows: the application the user came from, as noted
        // when the popover opened, not the source of the last capture.
        if (m_describedWindow != m_lastForeignWindow) {
            m_lastForeign = m_lastForeignWindow ? describe(m_lastForeignWindow) : std::nullopt;
            m_describedWindow = m_lastForeignWindow;
        }
        return m_lastForeign;
    }
    m_lastForeignWindow = window;
    m_lastForeign = describe(window);
    m_describedWindow = window;
    return m_lastForeign;
}

std::optional<ApplicationInfo> X11FocusTracker::describe(xcb_window_t window) const
{
    const auto [instance, windowClassName] = windowClass(window);
    QString executable;
    const QByteArray pid = property(window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (pid.size() >= 4)
        executable =
            QFileInfo(QStringLiteral("/proc/%1/exe").arg(*reinterpret_cast<const uint32_t*>(pid.constData())))
                .symLinkTarget()
                .section(u'/', -1);

    // An application's desktop entry and its icon do not change while we run:
    // look them up once per application (also when it has no entry).
    const QString key = instance + u'\n' + windowClassName + u'\n' + executable;
    auto cached = m_byEntry.constFind(key);
    if (cached == m_byEntry.constEnd()) {
        ApplicationInfo fromEntry;
        if (const auto entry = m_entries.match(instance, windowClassName, executable)) {
            fromEntry.name = entry->name;
            fromEntry.ids << entry->id;
            const QIcon icon =
                QFileInfo(entry->icon).isAbsolute() ? QIcon(entry->icon) : QIcon::fromTheme(entry->icon);
            if (!icon.isNull())
                fromEntry.icon = icon.pixmap(kIconSize).toImage();
        }
        cached = m_byEntry.insert(key, fromEntry);
    }
    ApplicationInfo info = *cached;
    for (const QString& id : {windowClassName, instance, executable})
        if (!id.isEmpty() && !info.ids.contains(id))
            info.ids << id;
    // What the entry does not give comes from the window itself.
    // Never the window's title: it carries document names and mail
    // subjects, which would end up in the history file.
    if (!info.name) {
        if (!windowClassName.isEmpty())
            info.name = windowClassName;
        else if (!instance.isEmpty())
            info.name = instance;
        else if (!executable.isEmpty())
            info.name = executable;
    }
    if (!info.icon) {
        const QImage icon = iconFromProperty(window);
        if (!icon.isNull())
            info.icon = icon;
    }
    if (!info.name && !info.icon)
        return std::nullopt;
    return info;
}

// _NET_WM_ICON: width, height, then ARGB pixels, repeated per size. Takes
// the smallest size that is at least kIconSize, else the largest.
QImage X11FocusTracker::iconFromProperty(xcb_window_t window) const
{
    const QByteArray data = property(window, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 1 << 20);
    const auto* words = reinterpret_cast<const uint32_t*>(data.constData());
    const qsizetype count = data.size() / 4;
    qsizetype best = -1;
    uint32_t bestWidth = 0;
    for (qsizetype i = 0; i + 2 <= count;) {
        const uint32_t w = words[i];
        const uint32_t h = words[i + 1];
        const qsizetype pixels = qsizetype(w) * qsizetype(h);
        if (w == 0 || h == 0 || w > 1024 || h > 1024 || i + 2 + pixels > count)
            break;
        const bool better =
            best < 0 || (bestWidth < kIconSize ? w > bestWidth : (w >= kIconSize && w < bestWidth));
        if (better) {
            best = i;
            bestWidth = w;
        }
        i += 2 + pixels;
    }
    if (best < 0)
        return {};
    const int w = int(words[best]);
    const int h = int(words[best + 1]);
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, words[best + 2 + y * w + x]);
    return image;
}

} // namespace ondrel::platform
