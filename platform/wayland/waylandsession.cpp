#include "waylandsession.h"

#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

struct WaylandSession::Output
{
    uint32_t name = 0;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdg = nullptr;
    int32_t scale = 1;
    Box mode; // from wl_output: the position and the size in the output's own pixels
    Box logical; // from xdg-output, when the compositor has it
    bool hasLogical = false;

    ~Output()
    {
        if (xdg)
            zxdg_output_v1_destroy(xdg);
        if (output)
            wl_output_destroy(output);
    }
    Box box() const
    {
        if (hasLogical)
            return logical;
        const int s = std::max(1, scale);
        return Box { mode.x, mode.y, mode.width / s, mode.height / s };
    }
};

namespace {

const wl_output_listener outputListener = {
    [](void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *,
       const char *, int32_t) {
        auto *o = static_cast<WaylandSession::Output *>(data);
        o->mode.x = x;
        o->mode.y = y;
    },
    [](void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
        auto *o = static_cast<WaylandSession::Output *>(data);
        if (flags & WL_OUTPUT_MODE_CURRENT) {
            o->mode.width = width;
            o->mode.height = height;
        }
    },
    [](void *, wl_output *) {},
    [](void *data, wl_output *, int32_t factor) {
        static_cast<WaylandSession::Output *>(data)->scale = factor;
    },
    [](void *, wl_output *, const char *) {},
    [](void *, wl_output *, const char *) {},
};

const zxdg_output_v1_listener xdgOutputListener = {
    [](void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
        auto *o = static_cast<WaylandSession::Output *>(data);
        o->logical.x = x;
        o->logical.y = y;
        o->hasLogical = true;
    },
    [](void *data, zxdg_output_v1 *, int32_t width, int32_t height) {
        auto *o = static_cast<WaylandSession::Output *>(data);
        o->logical.width = width;
        o->logical.height = height;
        o->hasLogical = true;
    },
    [](void *, zxdg_output_v1 *) {},
    [](void *, zxdg_output_v1 *, const char *) {},
    [](void *, zxdg_output_v1 *, const char *) {},
};

const wl_keyboard_listener keyboardListener = {
    [](void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size) {
        auto *text = static_cast<std::string *>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && size < (64u << 20)) {
            void *map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                const char *chars = static_cast<const char *>(map);
                text->assign(chars, strnlen(chars, size));
                munmap(map, size);
            }
        }
        close(fd);
    },
    [](void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {},
    [](void *, wl_keyboard *, uint32_t, wl_surface *) {},
    [](void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void *, wl_keyboard *, int32_t, int32_t) {},
};

} // namespace

// The keyboard object may be asked for only once the seat has a keyboard: a compositor with
// none yet ends a connection that asks earlier.
const wl_seat_listener WaylandSession::seatListener = {
    [](void *data, wl_seat *seat, uint32_t caps) {
        auto *s = static_cast<WaylandSession *>(data);
        if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !s->keyboard) {
            s->keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(s->keyboard, &keyboardListener, &s->seatKeymap);
        }
    },
    [](void *, wl_seat *, const char *) {},
};

void WaylandSession::global(void *data, wl_registry *registry, uint32_t name, const char *interface,
                            uint32_t version)
{
    auto *s = static_cast<WaylandSession *>(data);
    const std::string_view is = interface;
    if (is == wl_seat_interface.name && !s->seat) {
        s->seat = static_cast<wl_seat *>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
    } else if (is == zwp_virtual_keyboard_manager_v1_interface.name) {
        s->keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (is == zwlr_virtual_pointer_manager_v1_interface.name) {
        s->pointers = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (is == org_kde_kwin_fake_input_interface.name && version >= 4) {
        // Keys came in the fourth version; KWin lists it only to programs it grants it.
        s->fakeInput = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    } else if (is == zxdg_output_manager_v1_interface.name) {
        s->xdgOutputs = static_cast<zxdg_output_manager_v1 *>(wl_registry_bind(
            registry, name, &zxdg_output_manager_v1_interface, std::min(version, 2u)));
        for (auto &o : s->outputs) {
            if (!o->xdg) {
                o->xdg = zxdg_output_manager_v1_get_xdg_output(s->xdgOutputs, o->output);
                zxdg_output_v1_add_listener(o->xdg, &xdgOutputListener, o.get());
            }
        }
    } else if (is == wl_output_interface.name) {
        auto o = std::make_unique<Output>();
        o->name = name;
        o->output = static_cast<wl_output *>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2u)));
        wl_output_add_listener(o->output, &outputListener, o.get());
        if (s->xdgOutputs) {
            o->xdg = zxdg_output_manager_v1_get_xdg_output(s->xdgOutputs, o->output);
            zxdg_output_v1_add_listener(o->xdg, &xdgOutputListener, o.get());
        }
        s->outputs.push_back(std::move(o));
    }
}

void WaylandSession::globalRemove(void *data, wl_registry *, uint32_t name)
{
    auto *s = static_cast<WaylandSession *>(data);
    std::erase_if(s->outputs, [&](const auto &o) { return o->name == name; });
}

std::unique_ptr<WaylandSession> WaylandSession::connect()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandSession> s(new WaylandSession);
    s->display = display;
    s->registry = wl_display_get_registry(display);
    static const wl_registry_listener listener = { global, globalRemove };
    wl_registry_add_listener(s->registry, &listener, s.get());
    wl_display_roundtrip(display);
    // The keymap the compositor gives clients, for typing through a kernel device.
    if (s->seat)
        wl_seat_add_listener(s->seat, &seatListener, s.get());
    // Outputs, their xdg-output details and the keymap.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    return s;
}

WaylandSession::~WaylandSession()
{
    outputs.clear();
    if (keyboard)
        wl_keyboard_destroy(keyboard);
    if (xdgOutputs)
        zxdg_output_manager_v1_destroy(xdgOutputs);
    if (keyboards)
        zwp_virtual_keyboard_manager_v1_destroy(keyboards);
    if (pointers)
        zwlr_virtual_pointer_manager_v1_destroy(pointers);
    if (fakeInput)
        org_kde_kwin_fake_input_destroy(fakeInput);
    if (seat)
        wl_seat_destroy(seat);
    if (registry)
        wl_registry_destroy(registry);
    wl_display_flush(display);
    wl_display_disconnect(display);
}

void WaylandSession::pump()
{
    if (lost())
        return;
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    pollfd fd { wl_display_get_fd(display), POLLIN, 0 };
    if (poll(&fd, 1, 0) > 0)
        wl_display_read_events(display);
    else
        wl_display_cancel_read(display);
    wl_display_dispatch_pending(display);
}

bool WaylandSession::sync()
{
    return !lost() && wl_display_roundtrip(display) >= 0;
}

bool WaylandSession::lost() const
{
    return wl_display_get_error(display) != 0;
}

WaylandSession::Box WaylandSession::layout() const
{
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const auto &o : outputs) {
        const Box b = o->box();
        if (b.width <= 0 || b.height <= 0)
            continue;
        left = std::min(left, b.x);
        top = std::min(top, b.y);
        right = std::max(right, b.x + b.width);
        bottom = std::max(bottom, b.y + b.height);
    }
    if (left > right)
        return {};
    return Box { left, top, right - left, bottom - top };
}
