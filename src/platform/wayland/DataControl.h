#pragma once

// The two data-control protocols (the standard ext- one and the older wlr-
// one, which KDE, wlroots compositors and Hyprland offer) have the same
// requests and events under different names. One traits type per protocol
// lets the clipboard code be written once.

#include "ext-data-control-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

namespace ondrel::platform::wayland {

#define ONDREL_DATA_CONTROL_TRAITS(Traits, prefix, protocolName)                                             \
    struct Traits                                                                                            \
    {                                                                                                        \
        using Manager = prefix##_manager_v1;                                                                 \
        using Device = prefix##_device_v1;                                                                   \
        using Source = prefix##_source_v1;                                                                   \
        using Offer = prefix##_offer_v1;                                                                     \
        using DeviceListener = prefix##_device_v1_listener;                                                  \
        using SourceListener = prefix##_source_v1_listener;                                                  \
        using OfferListener = prefix##_offer_v1_listener;                                                    \
        static constexpr const char* kName = protocolName;                                                   \
        static const wl_interface* managerInterface() { return &prefix##_manager_v1_interface; }             \
        static Device* getDevice(Manager* m, wl_seat* seat)                                                  \
        {                                                                                                    \
            return prefix##_manager_v1_get_data_device(m, seat);                                             \
        }                                                                                                    \
        static Source* createSource(Manager* m) { return prefix##_manager_v1_create_data_source(m); }        \
        static void destroyManager(Manager* m) { prefix##_manager_v1_destroy(m); }                           \
        static void addListener(Device* d, const DeviceListener* l, void* data)                              \
        {                                                                                                    \
            prefix##_device_v1_add_listener(d, l, data);                                                     \
        }                                                                                                    \
        static void setSelection(Device* d, Source* s) { prefix##_device_v1_set_selection(d, s); }           \
        static void destroyDevice(Device* d) { prefix##_device_v1_destroy(d); }                              \
        static void addListener(Source* s, const SourceListener* l, void* data)                              \
        {                                                                                                    \
            prefix##_source_v1_add_listener(s, l, data);                                                     \
        }                                                                                                    \
        static void offer(Source* s, const char* mime) { prefix##_source_v1_offer(s, mime); }                \
        static void destroySource(Source* s) { prefix##_source_v1_destroy(s); }                              \
        static void addListener(Offer* o, const OfferListener* l, void* data)                                \
        {                                                                                                    \
            prefix##_offer_v1_add_listener(o, l, data);                                                      \
        }                                                                                                    \
        static void receive(Offer* o, const char* mime, int fd) { prefix##_offer_v1_receive(o, mime, fd); }  \
        static void destroyOffer(Offer* o) { prefix##_offer_v1_destroy(o); }                                 \
    };

ONDREL_DATA_CONTROL_TRAITS(ExtDataControl, ext_data_control, "ext-data-control-v1")
ONDREL_DATA_CONTROL_TRAITS(WlrDataControl, zwlr_data_control, "wlr-data-control-unstable-v1")

#undef ONDREL_DATA_CONTROL_TRAITS

} // namespace ondrel::platform::wayland
