#include "WaylandProbe.h"

#include <wayland-client.h>

namespace ondrel::platform {

namespace {

void global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t)
{
    static_cast<QStringList*>(data)->append(QString::fromLatin1(interface));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kListener = {&global, &globalRemove};

} // namespace

std::optional<QStringList> waylandGlobals()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return std::nullopt;
    QStringList globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListener, &globals);
    const bool ok = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!ok)
        return std::nullopt;
    return globals;
}

bool offersDataControl(const QStringList& globals)
{
    return globals.contains(QStringLiteral("ext_data_control_manager_v1")) ||
           globals.contains(QStringLiteral("zwlr_data_control_manager_v1"));
}

} // namespace ondrel::platform
