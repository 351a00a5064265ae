// Types keys into KWin as a keyboard of the seat would (KWin's fake-input
// protocol, allowed to any program when KWin runs with
// KWIN_WAYLAND_NO_PERMISSION_CHECKS, as scripts/with-kwin starts it).
//   kwin_keys KEY...   each KEY an evdev code with + (press) or - (release):
//   kwin_keys 42+ 125+ 47+ 47- 125- 42-    Shift+Super+V
// Exits 0 once KWin has taken every key, 1 when it cannot type.

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
        std::fputs("kwin_keys: this compositor lets no program type (no fake input)\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "Ondrel tests", "types the test's keys");
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key.size() < 2 || (key.back() != '+' && key.back() != '-')) {
            std::fprintf(stderr, "kwin_keys: %s is not CODE+ or CODE-\n", argv[i]);
            return 2;
        }
        const auto code = uint32_t(std::strtoul(key.c_str(), nullptr, 10));
        org_kde_kwin_fake_input_keyboard_key(fakeInput, code,
                                             key.back() == '+' ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                               : WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_destroy(fakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
