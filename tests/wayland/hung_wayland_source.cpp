// A Wayland program that puts text on the clipboard and never hands it
// over: it takes every request for the data, says which type was asked
// for, and keeps the pipe open without writing. With --slow it writes its
// text one byte a second (saying "sent" after each) and, like a program
// that quits, closes its pipes when another copy takes the clipboard; with
// --endless it writes as fast as the pipe takes it and never ends. It exits
// when killed.

#include "wlr-data-control-unstable-v1-client.h"

#include <wayland-client.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

enum class Mode
{
    hung,
    slow,
    endless
};
Mode mode = Mode::hung;
const std::string slowText = "a slow source's text that arrives one byte a second";
const std::string endlessChunk(64 * 1024, 'y');

wl_seat* seat = nullptr;
zwlr_data_control_manager_v1* manager = nullptr;

struct Pipe
{
    int fd;
    std::string::size_type sent = 0;
    Clock::time_point due;
};
std::vector<Pipe> pipes;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    if (std::strcmp(interface, "wl_seat") == 0 && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
        manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {&global, &globalRemove};

void send(void*, zwlr_data_control_source_v1*, const char* mime, int32_t fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    pipes.push_back({fd, 0, Clock::now() + std::chrono::seconds(mode == Mode::slow ? 1 : 0)});
    std::printf("asked %s\n", mime);
    std::fflush(stdout);
}
void cancelled(void*, zwlr_data_control_source_v1*)
{
    if (mode == Mode::slow) {
        for (const Pipe& p : pipes)
            ::close(p.fd);
        pipes.clear();
    }
    std::puts("cancelled");
    std::fflush(stdout);
}
const zwlr_data_control_source_v1_listener sourceListener = {&send, &cancelled};

// Writes what is due; a pipe the reader closed is dropped.
void writeDue()
{
    if (mode == Mode::hung)
        return;
    std::vector<Pipe> still;
    for (Pipe& p : pipes) {
        bool open = true;
        if (Clock::now() >= p.due) {
            const std::string& from = mode == Mode::slow ? slowText : endlessChunk;
            const size_t n = mode == Mode::slow ? 1 : from.size();
            const ssize_t written = ::write(p.fd, from.data() + (mode == Mode::slow ? p.sent : 0), n);
            if (written > 0 && mode == Mode::slow) {
                p.sent += size_t(written);
                p.due = Clock::now() + std::chrono::seconds(1);
                std::printf("sent %zu\n", p.sent);
                std::fflush(stdout);
                open = p.sent < slowText.size();
            } else if (written < 0 && errno != EAGAIN) {
                open = false;
            }
        }
        if (open)
            still.push_back(p);
        else
            ::close(p.fd);
    }
    pipes = std::move(still);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string option = argc > 1 ? argv[1] : "";
    mode = option == "--slow" ? Mode::slow : option == "--endless" ? Mode::endless : Mode::hung;
    std::signal(SIGPIPE, SIG_IGN);
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!seat || !manager)
        return 1;
    zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(manager);
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, nullptr);
    zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
    zwlr_data_control_source_v1_offer(source, "text/plain");
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    std::puts("owned");
    std::fflush(stdout);
    for (;;) {
        writeDue();
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        std::vector<pollfd> fds = {{wl_display_get_fd(display), POLLIN, 0}};
        int timeout = -1;
        for (const Pipe& p : pipes) {
            if (mode == Mode::endless)
                fds.push_back({p.fd, POLLOUT, 0});
            else if (mode == Mode::slow)
                timeout = int(std::max<long long>(
                    0, std::chrono::duration_cast<std::chrono::milliseconds>(p.due - Clock::now()).count()));
        }
        ::poll(fds.data(), fds.size(), timeout);
        if (fds[0].revents & POLLIN) {
            if (wl_display_read_events(display) < 0)
                return 0;
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0)
            return 0;
    }
}
