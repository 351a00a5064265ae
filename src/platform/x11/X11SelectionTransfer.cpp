#include "X11SelectionTransfer.h"

#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>

namespace ondrel::platform {

X11SelectionTransfer::X11SelectionTransfer(xcb_connection_t* connection, const std::atomic<bool>& stopping,
                                           int wakeFd, const char* selection)
    : m_connection(connection), m_stopping(stopping), m_wakeFd(wakeFd)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_window = xcb_generate_id(m_connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    m_selection = xcb::atom(m_connection, selection);
    m_manager = xcb::atom(m_connection, "CLIPBOARD_MANAGER");
    m_targets = xcb::atom(m_connection, "TARGETS");
    m_incr = xcb::atom(m_connection, "INCR");
    for (size_t i = 0; i < m_properties.size(); ++i)
        m_properties[i] =
            xcb::atom(m_connection, "ONDREL_SELECTION" + (i ? std::to_string(i) : std::string()));
    m_property = m_properties[0];
    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    const auto version = xcb::own(
        xcb_xfixes_query_version_reply(m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr));
    if (fixes && fixes->present && version)
        m_ownerChangeEvent = uint8_t(fixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    xcb_flush(m_connection);
}

X11SelectionTransfer::~X11SelectionTransfer()
{
    xcb_destroy_window(m_connection, m_window);
    xcb_flush(m_connection);
}

bool X11SelectionTransfer::noteOwnerChange(const xcb_generic_event_t* event)
{
    if (!m_ownerChangeEvent || (event->response_type & 0x7f) != m_ownerChangeEvent)
        return false;
    if (reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event)->selection == m_selection)
        m_changed = true;
    return true;
}

void X11SelectionTransfer::takeQueuedEvents()
{
    // What is queued after a reply came before the server answered: answers
    // to requests given up (dropped) and owner changes (noted).
    while (auto event = xcb::own(xcb_poll_for_queued_event(m_connection)))
        noteOwnerChange(event.get());
}

void X11SelectionTransfer::watchOwners(bool watch)
{
    if (!m_ownerChangeEvent)
        return;
    xcb_xfixes_select_selection_input(m_connection, m_window, m_selection,
                                      watch ? XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE
                                            : 0);
}

xcb_window_t X11SelectionTransfer::beginRead()
{
    // Every new owner from now on is told on this connection, one event
    // each, in order with the answers of the owner being read.
    watchOwners(true);
    const xcb_window_t current = owner();
    takeQueuedEvents();
    m_changed = false;
    return current;
}

void X11SelectionTransfer::endRead()
{
    // Between reads nobody would take the events in.
    watchOwners(false);
    xcb_flush(m_connection);
}

bool X11SelectionTransfer::changedSinceBegin()
{
    owner(); // a round trip: every change before it is in
    takeQueuedEvents();
    return m_changed;
}

template <typename Match>
xcb::Reply<xcb_generic_event_t> X11SelectionTransfer::waitFor(Match matches, const ReadPace& pace)
{
    for (;;) {
        while (auto event = xcb::own(xcb_poll_for_event(m_connection))) {
            if (!noteOwnerChange(event.get()) && matches(event.get()))
                return event;
        }
        if (m_stopping || m_changed || xcb_connection_has_error(m_connection))
            return nullptr;
        const int left = pace.msLeft();
        if (left <= 0)
            return nullptr;
        pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        ::poll(fds, 2, left);
        if (fds[1].revents & POLLIN)
            return nullptr; // the reader stops
    }
}

X11SelectionTransfer::Status X11SelectionTransfer::endOfWait(const ReadPace& pace) const
{
    if (m_stopping)
        return Status::stopped;
    if (m_changed)
        return Status::superseded;
    if (xcb_connection_has_error(m_connection))
        return Status::failed;
    return pace.overStatus() == OfferedData::Status::tooSlow ? Status::tooSlow : Status::timedOut;
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
        m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr));
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

X11SelectionTransfer::Taken X11SelectionTransfer::takeProperty(QByteArray& into, qsizetype limit)
{
    Taken taken;
    uint32_t offset = 0; // in 32-bit units
    for (;;) {
        const auto reply =
            xcb::own(xcb_get_property_reply(m_connection,
                                            xcb_get_property(m_connection, 0, m_window, m_property,
                                                             XCB_GET_PROPERTY_TYPE_ANY, offset, 1 << 20),
                                            nullptr));
        if (!reply) {
            taken.status = Status::failed;
            return taken;
        }
        taken.type = reply->type;
        const int length = xcb_get_property_value_length(reply.get());
        if (!appendWithinLimit(into, static_cast<const char*>(xcb_get_property_value(reply.get())), length,
                               limit)) {
            taken.status = Status::tooLarge;
            return taken; // left in place: an owner sending in pieces waits for its deletion
        }
        taken.length += length;
        if (reply->bytes_after == 0)
            break;
        offset += uint32_t(length / 4);
    }
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_flush(m_connection);
    taken.status = Status::ok;
    return taken;
}

void X11SelectionTransfer::abandonProperty()
{
    // The owner may still answer, or write its next piece once the property
    // is deleted: later requests name another one.
    m_nextProperty = (m_nextProperty + 1) % m_properties.size();
    m_property = m_properties[m_nextProperty];
}

X11SelectionTransfer::Fetched X11SelectionTransfer::fetch(xcb_atom_t target, int budgetMs, qsizetype limit)
{
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_convert_selection(m_connection, m_window, m_selection, target, m_property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    ReadPace pace(budgetMs);
    const auto notify = waitFor(
        [&](xcb_generic_event_t* e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
            // Answers to requests given up name other properties.
            return n->requestor == m_window && n->selection == m_selection && n->target == target &&
                   (n->property == m_property || n->property == XCB_NONE);
        },
        pace);
    if (!notify) {
        const Status status = endOfWait(pace);
        abandonProperty();
        return {status, {}, XCB_ATOM_NONE};
    }
    if (reinterpret_cast<xcb_selection_notify_event_t*>(notify.get())->property == XCB_NONE)
        return {Status::refused, {}, XCB_ATOM_NONE};
    Fetched fetched;
    const Taken first = takeProperty(fetched.bytes, limit);
    if (first.status != Status::ok) {
        abandonProperty();
        return {first.status, {}, XCB_ATOM_NONE};
    }
    if (first.type != m_incr) {
        if (changedSinceBegin())
            return {Status::superseded, {}, XCB_ATOM_NONE};
        fetched.status = Status::ok;
        fetched.type = first.type;
        return fetched;
    }
    // A large transfer: the owner puts each piece into the property after
    // we deleted the previous one, and ends with an empty piece. Its first
    // answer gives a lower bound of the size.
    uint32_t atLeast = 0;
    if (fetched.bytes.size() >= qsizetype(sizeof atLeast))
        std::memcpy(&atLeast, fetched.bytes.constData(), sizeof atLeast);
    if (atLeast > uint64_t(std::min(limit, kMaxEntryBytes))) {
        abandonProperty();
        return {Status::tooLarge, {}, XCB_ATOM_NONE};
    }
    fetched.bytes.clear();
    pace.progressed(0);
    for (;;) {
        const auto piece = waitFor(
            [&](xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
                return p->window == m_window && p->atom == m_property && p->state == XCB_PROPERTY_NEW_VALUE;
            },
            pace);
        Status status = piece ? Status::ok : endOfWait(pace);
        Taken next;
        if (status == Status::ok) {
            next = takeProperty(fetched.bytes, limit);
            status = next.status;
        }
        // An owner that loses the clipboard may end its transfer early: what
        // came is then not the whole.
        if (status == Status::ok && next.length == 0 && changedSinceBegin())
            status = Status::superseded;
        if (status != Status::ok) {
            abandonProperty();
            return {status, {}, XCB_ATOM_NONE};
        }
        if (next.length == 0) {
            fetched.status = Status::ok;
            fetched.bytes.squeeze();
            return fetched;
        }
        pace.progressed(next.length);
        fetched.type = next.type;
    }
}

} // namespace ondrel::platform
