#include "X11ClipboardKeeper.h"

#include "ClipboardData.h"
#include "X11Clipboard.h"
#include "Xcb.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QTimer>

#include <cstdlib>

namespace ondrel::platform {

namespace {

// Targets not worth keeping: those that describe the selection, and Qt's
// own image alias (the image types themselves are copied).
bool isKeptFormat(const QString& format)
{
    return !isMetaTarget(format) && format != u"application/x-qt-image";
}

} // namespace

X11ClipboardKeeper::X11ClipboardKeeper(xcb_connection_t* connection, xcb_window_t root,
                                       X11Clipboard& clipboard, std::function<bool()> enabled,
                                       QObject* parent)
    : QObject(parent), m_connection(connection), m_root(root), m_clipboard(clipboard),
      m_enabled(std::move(enabled))
{
    m_manager = atom("CLIPBOARD_MANAGER");
    m_saveTargets = atom("SAVE_TARGETS");
    m_targets = atom("TARGETS");
}

X11ClipboardKeeper::~X11ClipboardKeeper()
{
    stop();
    if (m_window)
        xcb_destroy_window(m_connection, m_window);
    xcb_flush(m_connection);
}

xcb_atom_t X11ClipboardKeeper::atom(const char* name)
{
    return xcb::atom(m_connection, name);
}

bool X11ClipboardKeeper::start()
{
    if (m_active)
        return true;
    const auto owner = [this] {
        return xcb::own(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_manager), nullptr));
    };
    if (const auto before = owner(); before && before->owner != XCB_NONE)
        return false; // another clipboard manager runs; leave it the role
    if (!m_window) {
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    xcb_set_selection_owner(m_connection, m_window, m_manager, XCB_CURRENT_TIME);
    const auto after = owner();
    m_active = after && after->owner == m_window;
    if (!m_active)
        return false;
    QCoreApplication::instance()->installNativeEventFilter(this);
    // Announce the new manager (ICCCM 2.8).
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = m_root;
    event.type = atom("MANAGER");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = m_manager;
    event.data.data32[2] = m_window;
    xcb_send_event(m_connection, 0, m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &X11ClipboardKeeper::stop, Qt::UniqueConnection);
    return true;
}

void X11ClipboardKeeper::stop()
{
    if (!m_active)
        return;
    m_active = false;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_set_selection_owner(m_connection, XCB_NONE, m_manager, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

bool X11ClipboardKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* generic = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = generic->response_type & 0x7f;
    if (type == XCB_SELECTION_CLEAR) {
        auto* e = reinterpret_cast<xcb_selection_clear_event_t*>(generic);
        if (e->owner == m_window && e->selection == m_manager) {
            // Another clipboard manager took the role.
            m_active = false;
            QCoreApplication::instance()->removeNativeEventFilter(this);
            return true;
        }
        return false;
    }
    if (type != XCB_SELECTION_REQUEST)
        return false;
    auto* e = reinterpret_cast<xcb_selection_request_event_t*>(generic);
    if (e->owner != m_window || e->selection != m_manager)
        return false;
    const xcb_atom_t property = e->property == XCB_NONE ? e->target : e->property;
    if (e->target == m_targets) {
        const xcb_atom_t targets[] = {m_targets, m_saveTargets};
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, e->requestor, property, XCB_ATOM_ATOM, 32, 2,
                            targets);
        reply(e->requestor, e->selection, e->target, property, e->time);
    } else if (e->target == m_saveTargets) {
        // Read the contents after this event returns: the owner answers our
        // requests while it waits for the reply.
        const xcb_window_t requestor = e->requestor;
        const xcb_atom_t target = e->target;
        const xcb_timestamp_t time = e->time;
        QTimer::singleShot(0, this, [=, this] { keepContents(requestor, target, property, time); });
    } else {
        reply(e->requestor, e->selection, e->target, XCB_NONE, e->time);
    }
    return true;
}

void X11ClipboardKeeper::keepContents(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property,
                                      xcb_timestamp_t time)
{
    // Refused (the owner exits at once) when keeping is off, and for a copy
    // the history leaves out (recording paused, an excluded application).
    if (!m_active || (m_enabled && !m_enabled()) || !m_clipboard.mayKeep()) {
        reply(requestor, m_manager, target, XCB_NONE, time);
        return;
    }
    // The owner answers our reads while it waits for the reply; one that
    // stops answering costs the reader its budget, not this thread.
    m_clipboard.readAll(this, [=, this](const X11ClipboardReader::AllData& all) {
        QMimeData* copy = nullptr;
        if (m_active && all.complete && !all.secret) {
            copy = new QMimeData;
            for (const auto& [format, data] : all.data) {
                if (isKeptFormat(format))
                    copy->setData(format, data);
            }
        }
        if (!copy || copy->formats().isEmpty()) {
            delete copy;
            reply(requestor, m_manager, target, XCB_NONE, time);
            return;
        }
        m_clipboard.adopt(copy);
        // An empty property of type NULL tells the owner the contents are saved.
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, atom("NULL"), 32, 0,
                            nullptr);
        reply(requestor, m_manager, target, property, time);
        Q_EMIT contentsKept();
    });
}

void X11ClipboardKeeper::reply(xcb_window_t requestor, xcb_atom_t selection, xcb_atom_t target,
                               xcb_atom_t property, xcb_timestamp_t time)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.requestor = requestor;
    notify.selection = selection;
    notify.target = target;
    notify.property = property;
    notify.time = time;
    xcb_send_event(m_connection, 0, requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(m_connection);
}

} // namespace ondrel::platform
