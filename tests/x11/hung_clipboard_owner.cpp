// A program that takes the CLIPBOARD selection and never answers a request
// for it, as a hung or hostile owner would. It prints "owned" once it holds
// the selection and then, for every request, "request TARGET". With
// --answer-targets it offers UTF8_STRING and STRING, then hangs when asked
// for either. Two modes hand the text over in pieces (INCR), printing
// "sent BYTES" after each: --slow one byte a second, ending the transfer
// early when it loses the clipboard, as a program that quits might;
// --endless pieces of 256 KiB as fast as they are taken, never ending. It runs until
// it is killed.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

void notify(xcb_connection_t* c, const xcb_selection_request_event_t* request, xcb_atom_t property)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = property;
    notify.time = request->time;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(c);
}

// One transfer in pieces: the requestor deletes the property to ask for the next.
struct Transfer
{
    xcb_window_t requestor = XCB_NONE;
    xcb_atom_t property = XCB_NONE;
    xcb_atom_t type = XCB_NONE;
    std::string::size_type sent = 0;
    bool asked = false; // the property is deleted: the next piece is due
    bool ending = false;
    Clock::time_point due;
};

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool answerTargets = !mode.empty();
    const bool slow = mode == "--slow";
    const bool endless = mode == "--endless";
    const std::string slowText = "a slow owner's text that arrives one byte a second";
    const std::string endlessPiece(256 * 1024, 'y');
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = atom(c, "CLIPBOARD");
    const xcb_atom_t targets = atom(c, "TARGETS");
    const xcb_atom_t incr = atom(c, "INCR");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool owned = owner && owner->owner == window;
    std::free(owner);
    if (!owned) {
        std::fprintf(stderr, "could not take the clipboard\n");
        return 1;
    }
    std::printf("owned\n");
    std::fflush(stdout);
    Transfer transfer;
    // Sends the next piece once it is asked for and due.
    const auto sendDue = [&] {
        if (transfer.requestor == XCB_NONE || !transfer.asked || Clock::now() < transfer.due)
            return;
        std::string piece;
        if (endless)
            piece = endlessPiece;
        else if (!transfer.ending && transfer.sent < slowText.size())
            piece = slowText.substr(transfer.sent, 1);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type, 8,
                            uint32_t(piece.size()), piece.data());
        xcb_flush(c);
        transfer.sent += piece.size();
        transfer.asked = false;
        if (slow || endless) {
            std::printf("sent %zu\n", transfer.sent);
            std::fflush(stdout);
        }
        if (piece.empty())
            transfer = Transfer();
    };
    const int fd = xcb_get_file_descriptor(c);
    for (;;) {
        sendDue();
        int timeout = -1;
        if (transfer.asked)
            timeout = int(std::max<long long>(
                0,
                std::chrono::duration_cast<std::chrono::milliseconds>(transfer.due - Clock::now()).count()));
        pollfd pfd = {fd, POLLIN, 0};
        ::poll(&pfd, 1, timeout);
        if (xcb_connection_has_error(c))
            return 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const int type = event->response_type & 0x7f;
            if (type == XCB_SELECTION_REQUEST) {
                auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
                xcb_get_atom_name_reply_t* name =
                    xcb_get_atom_name_reply(c, xcb_get_atom_name(c, request->target), nullptr);
                if (name)
                    std::printf("request %.*s\n", xcb_get_atom_name_name_length(name),
                                xcb_get_atom_name_name(name));
                std::free(name);
                std::fflush(stdout);
                if (answerTargets && request->target == targets) {
                    const xcb_atom_t offered[] = {targets, utf8, XCB_ATOM_STRING};
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                        XCB_ATOM_ATOM, 32, 3, offered);
                    notify(c, request, request->property);
                } else if ((slow || endless) && request->target == utf8 && transfer.requestor == XCB_NONE) {
                    // Announce a transfer in pieces; its size is a lower bound.
                    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                    xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &mask);
                    const uint32_t size = slow ? uint32_t(slowText.size()) : uint32_t(endlessPiece.size());
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, incr,
                                        32, 1, &size);
                    transfer.requestor = request->requestor;
                    transfer.property = request->property;
                    transfer.type = utf8;
                    notify(c, request, request->property);
                }
            } else if (type == XCB_PROPERTY_NOTIFY) {
                auto* p = reinterpret_cast<xcb_property_notify_event_t*>(event);
                if (p->window == transfer.requestor && p->atom == transfer.property &&
                    p->state == XCB_PROPERTY_DELETE) {
                    transfer.asked = true;
                    transfer.due = Clock::now() + std::chrono::seconds(slow ? 1 : 0);
                }
            } else if (type == XCB_SELECTION_CLEAR) {
                std::printf("lost\n");
                std::fflush(stdout);
                if (slow && transfer.requestor != XCB_NONE) {
                    transfer.ending = true;
                    transfer.due = Clock::now();
                }
            }
            std::free(event);
        }
    }
}
