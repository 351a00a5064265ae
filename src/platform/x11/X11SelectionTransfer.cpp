#include "X11SelectionTransfer.h"

#include <vector>

#include <poll.h>

namespace ondrel::platform {

X11SelectionTransfer::X11SelectionTransfer(xcb_connection_t* connection, const std::atomic<bool>& stopping,
                                           int wakeFd)
    : m_connection(connection), m_stopping(stopping), m_wakeFd(wakeFd)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_window = xcb_generate_id(m_connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    m_clipboard = xcb::atom(m_connection, "CLIPBOARD");
    m_manager = xcb::atom(m_connection, "CLIPBOARD_MANAGER");
    m_targets = xcb::atom(m_connection, "TARGETS");
    m_incr = xcb::atom(m_connection, "INCR");
    m_property = xcb::atom(m_connection, "ONDREL_SELECTION");
    xcb_flush(m_connection);
}

X11SelectionTransfer::~X11SelectionTransfer()
{
    xcb_destroy_window(m_connection, m_window);
    xcb_flush(m_connection);
}

template <typename Match>
xcb::Reply<xcb_generic_event_t> X11SelectionTransfer::waitFor(Match matches, Clock::time_point deadline)
{
    for (;;) {
        while (auto event = xcb::own(xcb_poll_for_event(m_connection))) {
            if (matches(event.get()))
                return event;
        }
        if (m_stopping || xcb_connection_has_error(m_connection))
            return nullptr;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        ::poll(fds, 2, int(left.count()) + 1);
        if (fds[1].revents & POLLIN)
            return nullptr;
    }
}

QStringList X11SelectionTransfer::namesOf(const QList<xcb_atom_t>& atoms)
{
    // Ask for every unknown name at once: one round trip, not one each.
    std::vector<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> asked;
    for (xcb_atom_t atom : atoms) {
        if (!m_names.count(atom))
            asked.emplace_back(atom, xcb_get_atom_name(m_connection, atom));
    }
    for (const auto& [atom, cookie] : asked) {
        const auto reply = xcb::own(xcb_get_atom_name_reply(m_connection, cookie, nullptr));
        m_names[atom] = reply ? QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                                  xcb_get_atom_name_name_length(reply.get()))
                              : QString();
    }
    QStringList result;
    for (xcb_atom_t atom : atoms) {
        if (const QString& name = m_names[atom]; !name.isEmpty() && !result.contains(name))
            result.append(name);
    }
    return result;
}

xcb_window_t X11SelectionTransfer::owner()
{
    const auto reply = xcb::own(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_NONE);
}

bool X11SelectionTransfer::isClipboardManager(xcb_window_t window)
{
    const auto reply = xcb::own(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_manager), nullptr));
    if (!reply || reply->owner == XCB_NONE || window == XCB_NONE)
        return false;
    // The ids of one client share the bits outside the server's id mask.
    const uint32_t client = ~xcb_get_setup(m_connection)->resource_id_mask;
    return (reply->owner & client) == (window & client);
}

// Reads our property whole and deletes it.
X11SelectionTransfer::Fetched X11SelectionTransfer::takeProperty()
{
    Fetched fetched;
    uint32_t offset = 0; // in 32-bit units
    for (;;) {
        const auto reply =
            xcb::own(xcb_get_property_reply(m_connection,
                                            xcb_get_property(m_connection, 0, m_window, m_property,
                                                             XCB_GET_PROPERTY_TYPE_ANY, offset, 1 << 20),
                                            nullptr));
        if (!reply) {
            fetched.status = Status::failed;
            return fetched;
        }
        fetched.type = reply->type;
        const int length = xcb_get_property_value_length(reply.get());
        if (fetched.bytes.size() + length > kMaxOfferedBytes) {
            fetched.status = Status::tooLarge;
            break;
        }
        fetched.bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
        if (reply->bytes_after == 0)
            break;
        offset += uint32_t(length / 4);
    }
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_flush(m_connection);
    if (fetched.status != Status::tooLarge)
        fetched.status = Status::ok;
    return fetched;
}

X11SelectionTransfer::Fetched X11SelectionTransfer::fetch(xcb_atom_t target, int budgetMs)
{
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_convert_selection(m_connection, m_window, m_clipboard, target, m_property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    const auto budget = std::chrono::milliseconds(budgetMs);
    const auto notify = waitFor(
        [&](xcb_generic_event_t* e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
            return n->requestor == m_window && n->selection == m_clipboard && n->target == target;
        },
        Clock::now() + budget);
    if (!notify)
        return {m_stopping ? Status::stopped : Status::timedOut, {}, XCB_ATOM_NONE};
    if (reinterpret_cast<xcb_selection_notify_event_t*>(notify.get())->property == XCB_NONE)
        return {Status::refused, {}, XCB_ATOM_NONE};
    Fetched first = takeProperty();
    if (first.status != Status::ok || first.type != m_incr)
        return first;
    // A large transfer: the owner puts each piece into the property after
    // we deleted the previous one, and ends with an empty piece.
    Fetched whole{Status::ok, {}, XCB_ATOM_NONE};
    for (;;) {
        const auto piece = waitFor(
            [&](xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
                return p->window == m_window && p->atom == m_property && p->state == XCB_PROPERTY_NEW_VALUE;
            },
            Clock::now() + budget);
        if (!piece)
            return {m_stopping ? Status::stopped : Status::timedOut, {}, XCB_ATOM_NONE};
        Fetched next = takeProperty();
        if (next.status != Status::ok)
            return next;
        if (next.bytes.isEmpty())
            return whole;
        if (whole.bytes.size() + next.bytes.size() > kMaxOfferedBytes) {
            // Stop the owner from sending more: it waits for deletions we no longer make.
            return {Status::tooLarge, {}, XCB_ATOM_NONE};
        }
        whole.type = next.type;
        whole.bytes.append(next.bytes);
    }
}

} // namespace ondrel::platform
