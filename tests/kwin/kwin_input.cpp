// Types keys and clicks into KWin as the seat's keyboard and mouse would
// (KWin's fake-input protocol, allowed to any program when KWin runs with
// KWIN_WAYLAND_NO_PERMISSION_CHECKS, as scripts/with-kwin starts it).
//   kwin_input EVENT...   each EVENT one of
//     CODE+ / CODE-       a key's evdev code pressed / released
//     @X,Y                the pointer moved to X,Y
//     btnCODE+ / btnCODE- a button (272 the left one) pressed / released
//   kwin_input 42+ 125+ 47+ 47- 125- 42-        Shift+Super+V
//   kwin_input @20,12 btn272+ btn272-           a click at 20,12
// Exits 0 once KWin has taken every event, 1 when it cannot type.

#include "fake-input-client.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

org_kde_kwin_fake_input* fakeInput = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {&global, &globalRemove};

} // namespace

int main(int argc, char** argv)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        std::fputs("kwin_input: this compositor lets no program type (no fake input)\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "Ondrel tests", "types the test's keys");
    for (int i = 1; i < argc; ++i) {
        const std::string event = argv[i];
        if (event.size() > 1 && event[0] == '@') {
            const auto comma = event.find(',');
            if (comma == std::string::npos) {
                std::fprintf(stderr, "kwin_input: %s is not @X,Y\n", argv[i]);
                return 2;
            }
            org_kde_kwin_fake_input_pointer_motion_absolute(
                fakeInput, wl_fixed_from_int(std::atoi(event.c_str() + 1)),
                wl_fixed_from_int(std::atoi(event.c_str() + comma + 1)));
            continue;
        }
        if (event.size() < 2 || (event.back() != '+' && event.back() != '-')) {
            std::fprintf(stderr, "kwin_input: %s is not CODE+, CODE-, btnCODE+, btnCODE- or @X,Y\n", argv[i]);
            return 2;
        }
        const bool button = event.rfind("btn", 0) == 0;
        const auto code = uint32_t(std::strtoul(event.c_str() + (button ? 3 : 0), nullptr, 10));
        const bool press = event.back() == '+';
        if (button)
            org_kde_kwin_fake_input_button(
                fakeInput, code, press ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
        else
            org_kde_kwin_fake_input_keyboard_key(
                fakeInput, code, press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_destroy(fakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
