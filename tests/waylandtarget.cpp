// A native Wayland window that takes the keyboard focus and prints, one line each, what it
// receives: "focus in|out", "key <text or keysym name>", "enter|motion x,y",
// "press|release <button> x,y" (surface coordinates). It runs until its standard input closes.
// With --times each key line ends in the monotonic clock's reading, in milliseconds; with
// --fullscreen the window asks to be fullscreen.
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

namespace {

wl_compositor *compositor;
wl_shm *shm;
wl_seat *seat;
xdg_wm_base *wmBase;
wl_surface *surface;
xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
xkb_keymap *keymap;
xkb_state *state;
double px, py;
bool times;

void paint(int width, int height)
{
    width = width > 0 ? width : 640;
    height = height > 0 ? height : 480;
    const int stride = width * 4, size = stride * height;
    const int fd = memfd_create("target", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0)
        return;
    void *pixels = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    std::memset(pixels, 0xff, size_t(size));
    munmap(pixels, size_t(size));
    wl_shm_pool *pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer *buffer
        = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, width, height);
    wl_surface_commit(surface);
}

const wl_keyboard_listener keyboardListener = {
    [](void *, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size) {
        char *text = static_cast<char *>(mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
        close(fd);
        if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || text == MAP_FAILED)
            return;
        xkb_keymap *next
            = xkb_keymap_new_from_buffer(context, text, strnlen(text, size),
                                         XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
        munmap(text, size);
        if (!next) {
            std::printf("keymap refused\n");
            return;
        }
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
        keymap = next;
        state = xkb_state_new(keymap);
    },
    [](void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) { std::printf("focus in\n"); },
    [](void *, wl_keyboard *, uint32_t, wl_surface *) { std::printf("focus out\n"); },
    [](void *, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t pressed) {
        if (!state || !pressed)
            return;
        char text[64] = {};
        const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, key + 8);
        if (xkb_state_key_get_utf8(state, key + 8, text, sizeof text) <= 0 || text[0] < 0x20
            || text[0] == 0x7f)
            xkb_keysym_get_name(sym, text, sizeof text);
        if (times) {
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("key %s %.3f\n", text,
                        double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6);
        } else {
            std::printf("key %s\n", text);
        }
    },
    [](void *, wl_keyboard *, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
       uint32_t group) {
        if (state)
            xkb_state_update_mask(state, depressed, latched, locked, 0, 0, group);
    },
    [](void *, wl_keyboard *, int32_t, int32_t) {},
};

const wl_pointer_listener pointerListener = {
    [](void *, wl_pointer *, uint32_t, wl_surface *, wl_fixed_t x, wl_fixed_t y) {
        px = wl_fixed_to_double(x);
        py = wl_fixed_to_double(y);
        std::printf("enter %d,%d\n", int(px), int(py));
    },
    [](void *, wl_pointer *, uint32_t, wl_surface *) { std::printf("leave\n"); },
    [](void *, wl_pointer *, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        px = wl_fixed_to_double(x);
        py = wl_fixed_to_double(y);
        std::printf("motion %d,%d\n", int(px), int(py));
    },
    [](void *, wl_pointer *, uint32_t, uint32_t, uint32_t button, uint32_t pressed) {
        std::printf("%s %u %d,%d\n", pressed ? "press" : "release", button, int(px), int(py));
    },
    [](void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {},
    [](void *, wl_pointer *) {},
    [](void *, wl_pointer *, uint32_t) {},
    [](void *, wl_pointer *, uint32_t, uint32_t) {},
    [](void *, wl_pointer *, uint32_t, int32_t) {},
};

// The seat may have no keyboard or pointer until the program under test brings its own.
wl_keyboard *keyboard;
wl_pointer *pointer;
const wl_seat_listener seatListener = {
    [](void *, wl_seat *seat, uint32_t caps) {
        if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard) {
            keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(keyboard, &keyboardListener, nullptr);
        }
        if ((caps & WL_SEAT_CAPABILITY_POINTER) && !pointer) {
            pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(pointer, &pointerListener, nullptr);
        }
        // Gone with the last device of its kind; asked for again when one comes.
        if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && keyboard) {
            wl_keyboard_release(keyboard);
            keyboard = nullptr;
            std::printf("keyboard gone\n");
        }
        if (!(caps & WL_SEAT_CAPABILITY_POINTER) && pointer) {
            wl_pointer_release(pointer);
            pointer = nullptr;
        }
    },
    [](void *, wl_seat *, const char *) {},
};

const xdg_wm_base_listener wmBaseListener = {
    [](void *, xdg_wm_base *base, uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

int width, height;
const xdg_surface_listener xdgSurfaceListener = {
    [](void *, xdg_surface *xdg, uint32_t serial) {
        xdg_surface_ack_configure(xdg, serial);
        paint(width, height);
    },
};
const xdg_toplevel_listener toplevelListener = {
    [](void *, xdg_toplevel *, int32_t w, int32_t h, wl_array *) {
        width = w;
        height = h;
    },
    [](void *, xdg_toplevel *) {},
};

const wl_registry_listener registryListener = {
    [](void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
        const auto bind = [&](const wl_interface *what, uint32_t version) {
            return wl_registry_bind(registry, name, what, version);
        };
        if (!std::strcmp(interface, wl_compositor_interface.name))
            compositor = static_cast<wl_compositor *>(bind(&wl_compositor_interface, 4));
        else if (!std::strcmp(interface, wl_shm_interface.name))
            shm = static_cast<wl_shm *>(bind(&wl_shm_interface, 1));
        else if (!std::strcmp(interface, wl_seat_interface.name) && !seat)
            seat = static_cast<wl_seat *>(bind(&wl_seat_interface, 5));
        else if (!std::strcmp(interface, xdg_wm_base_interface.name))
            wmBase = static_cast<xdg_wm_base *>(bind(&xdg_wm_base_interface, 1));
    },
    [](void *, wl_registry *, uint32_t) {},
};

} // namespace

int main(int argc, char *argv[])
{
    times = argc > 1 && !std::strcmp(argv[1], "--times");
    setvbuf(stdout, nullptr, _IOLBF, 0);
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::printf("no compositor\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !seat || !wmBase) {
        std::printf("the compositor lacks a global this window needs\n");
        return 1;
    }
    xdg_wm_base_add_listener(wmBase, &wmBaseListener, nullptr);
    wl_seat_add_listener(seat, &seatListener, nullptr);
    surface = wl_compositor_create_surface(compositor);
    xdg_surface *xdg = xdg_wm_base_get_xdg_surface(wmBase, surface);
    xdg_surface_add_listener(xdg, &xdgSurfaceListener, nullptr);
    xdg_toplevel *toplevel = xdg_surface_get_toplevel(xdg);
    xdg_toplevel_add_listener(toplevel, &toplevelListener, nullptr);
    xdg_toplevel_set_title(toplevel, "typing target");
    // The whole desktop, as a tiling compositor gives it anyway: a pointer anywhere lands in it.
    if (argc > 1 && !std::strcmp(argv[argc - 1], "--fullscreen"))
        xdg_toplevel_set_fullscreen(toplevel, nullptr);
    else
        xdg_toplevel_set_maximized(toplevel);
    wl_surface_commit(surface);
    std::printf("started\n");
    pollfd fds[2] = { { wl_display_get_fd(display), POLLIN, 0 }, { 0, POLLIN, 0 } };
    for (;;) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & (POLLIN | POLLHUP))) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            break;
    }
    wl_display_disconnect(display);
    return 0;
}
