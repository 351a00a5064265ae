// A program that takes the CLIPBOARD selection and never answers a request
// for it, as a hung or hostile owner would. It prints "owned" once it holds
// the selection and then, for every request, "request TARGET". With
// --answer-targets it offers UTF8_STRING and STRING, then hangs when asked
// for either. It runs until it is killed.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const bool answerTargets = argc > 1 && std::strcmp(argv[1], "--answer-targets") == 0;
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
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            xcb_get_atom_name_reply_t* name =
                xcb_get_atom_name_reply(c, xcb_get_atom_name(c, request->target), nullptr);
            if (name)
                std::printf("request %.*s\n", xcb_get_atom_name_name_length(name),
                            xcb_get_atom_name_name(name));
            std::free(name);
            std::fflush(stdout);
            if (answerTargets && request->target == targets) {
                const xcb_atom_t offered[] = {targets, atom(c, "UTF8_STRING"), XCB_ATOM_STRING};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                    XCB_ATOM_ATOM, 32, 3, offered);
                xcb_selection_notify_event_t notify{};
                notify.response_type = XCB_SELECTION_NOTIFY;
                notify.requestor = request->requestor;
                notify.selection = request->selection;
                notify.target = request->target;
                notify.property = request->property;
                notify.time = request->time;
                xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                               reinterpret_cast<const char*>(&notify));
                xcb_flush(c);
            }
        } else if ((event->response_type & 0x7f) == XCB_SELECTION_CLEAR) {
            std::printf("lost\n");
            std::fflush(stdout);
        }
        std::free(event);
    }
    return 0;
}
