#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string_view>

// Small helpers for talking to the X server through xcb: replies and errors
// that free themselves, and atoms by name.
namespace ondrel::platform::xcb {

struct FreeDeleter
{
    void operator()(void* p) const noexcept { std::free(p); }
};

// A reply (or error, or any buffer xcb hands over) that is freed with it.
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Takes ownership of what an xcb_..._reply() or xcb_request_check() returned.
template <typename T> Reply<T> own(T* p)
{
    return Reply<T>(p);
}

// The error of a checked request, or none: waits for the server's answer.
inline Reply<xcb_generic_error_t> check(xcb_connection_t* connection, xcb_void_cookie_t cookie)
{
    return own(xcb_request_check(connection, cookie));
}

// The atom of `name`, created if need be; XCB_ATOM_NONE when the server
// does not answer.
inline xcb_atom_t atom(xcb_connection_t* connection, std::string_view name)
{
    const auto reply = own(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace ondrel::platform::xcb
