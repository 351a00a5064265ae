// A Wayland program that puts text on the clipboard and never hands it
// over: it takes every request for the data, says which type was asked
// for, and keeps the pipe open without writing. It exits when killed.

#include "wlr-data-control-unstable-v1-client.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

wl_seat* seat = nullptr;
zwlr_data_control_manager_v1* manager = nullptr;
std::vector<int> heldPipes;

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
    heldPipes.push_back(fd);
    std::printf("asked %s\n", mime);
    std::fflush(stdout);
}
void cancelled(void*, zwlr_data_control_source_v1*)
{
    std::puts("cancelled");
    std::fflush(stdout);
}
const zwlr_data_control_source_v1_listener sourceListener = {&send, &cancelled};

} // namespace

int main()
{
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
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
