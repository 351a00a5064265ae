#pragma once

// What WaylandDesktop keeps of the compositor: its protocol objects and the
// windows it lists. Shared by the two files that make up the class.

#include "WaylandDesktop.h"
#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace ondrel::platform {

struct WaylandDesktop::Toplevel
{
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    QString appId, pendingAppId;
    bool activated = false, pendingActivated = false;
};

struct WaylandDesktop::Protocols
{
    WaylandDesktop* owner = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevelManager = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    uint32_t ctrlMask = 0, shiftMask = 0;
    std::vector<std::unique_ptr<Toplevel>> toplevels;
    std::unique_ptr<QSocketNotifier> notifier;

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* p = static_cast<Protocols*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !p->seat)
            p->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0)
            p->toplevelManager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
                registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, 3u)));
        else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
            p->keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kRegistry = {&global, &globalRemove};

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* p = static_cast<Protocols*>(data);
        auto t = std::make_unique<Toplevel>();
        t->handle = handle;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandle, p);
        p->toplevels.push_back(std::move(t));
    }
    // The compositor is done with the list and has destroyed its side.
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
    {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
        static_cast<Protocols*>(data)->toplevelManager = nullptr;
    }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManager = {&toplevel, &finished};

    Toplevel* find(zwlr_foreign_toplevel_handle_v1* handle) const
    {
        for (const auto& t : toplevels)
            if (t->handle == handle)
                return t.get();
        return nullptr;
    }
    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {
    } // never kept: it names documents
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* id)
    {
        if (Toplevel* t = static_cast<Protocols*>(data)->find(handle))
            t->pendingAppId = QString::fromUtf8(id);
    }
    static void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states)
    {
        Toplevel* t = static_cast<Protocols*>(data)->find(handle);
        if (!t)
            return;
        t->pendingActivated = false;
        const auto* values = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                t->pendingActivated = true;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* p = static_cast<Protocols*>(data);
        Toplevel* t = p->find(handle);
        if (!t)
            return;
        t->appId = t->pendingAppId;
        t->activated = t->pendingActivated;
        if (t->activated && !p->owner->isOwn(*t))
            p->owner->m_lastForeign = t;
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* p = static_cast<Protocols*>(data);
        for (auto it = p->toplevels.begin(); it != p->toplevels.end(); ++it) {
            if ((*it)->handle != handle)
                continue;
            if (p->owner->m_lastForeign == it->get())
                p->owner->m_lastForeign = nullptr;
            if (p->owner->m_remembered == it->get())
                p->owner->m_remembered = nullptr;
            if (p->owner->m_target == it->get())
                p->owner->m_target = nullptr;
            zwlr_foreign_toplevel_handle_v1_destroy(handle);
            p->toplevels.erase(it);
            return;
        }
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
    static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandle = {
        &title, &appId, &outputEnter, &outputLeave, &state, &done, &closed, &parent};
};

} // namespace ondrel::platform
