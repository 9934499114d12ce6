#include "evdevswitches.h"

#include <libevdev/libevdev.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/epoll.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr auto rescanEvery = std::chrono::seconds(3);
}

EvdevSwitches::EvdevSwitches(std::string ownDevice)
    : own(std::move(ownDevice))
    , watch(epoll_create1(EPOLL_CLOEXEC))
{
    rescan();
}

EvdevSwitches::~EvdevSwitches()
{
    for (Device &d : devices) {
        libevdev_free(d.dev);
        close(d.fd);
    }
    if (watch >= 0)
        close(watch);
}

void EvdevSwitches::rescan()
{
    scanned = std::chrono::steady_clock::now();
    denied = 0;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator("/dev/input", error)) {
        const std::string path = entry.path().string();
        if (entry.path().filename().string().rfind("event", 0) != 0
            || std::any_of(devices.begin(), devices.end(),
                           [&](const Device &d) { return d.path == path; }))
            continue;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            denied += errno == EACCES || errno == EPERM;
            continue;
        }
        libevdev *dev = nullptr;
        if (libevdev_new_from_fd(fd, &dev) != 0) {
            close(fd);
            continue;
        }
        const char *name = libevdev_get_name(dev);
        const bool keyboard = libevdev_has_event_code(dev, EV_KEY, KEY_ESC)
            || libevdev_has_event_code(dev, EV_KEY, KEY_A);
        if (!keyboard || (name && own == name)) {
            libevdev_free(dev);
            close(fd);
            continue;
        }
        epoll_event ready { EPOLLIN, { .fd = fd } };
        if (watch >= 0)
            epoll_ctl(watch, EPOLL_CTL_ADD, fd, &ready);
        devices.push_back(Device { path, fd, dev });
    }
}

void EvdevSwitches::read(Device &d)
{
    input_event ev;
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        const int rc = libevdev_next_event(d.dev, flags, &ev);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            flags = LIBEVDEV_READ_FLAG_SYNC; // events were dropped: catch up on the state
        } else if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            // Value 2 is the kernel's key repeat, neither edge.
            if (ev.type == EV_KEY && ev.value != 2 && edges.count(ev.code)) {
                moved = true;
                edges[ev.code] |= ev.value == 1 ? 1 : 2;
            }
        } else if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
            flags = LIBEVDEV_READ_FLAG_NORMAL;
        } else {
            if (rc != -EAGAIN) { // unplugged
                libevdev_free(d.dev);
                close(d.fd);
                d.fd = -1;
            }
            return;
        }
    }
}

int EvdevSwitches::state(unsigned code)
{
    if (std::chrono::steady_clock::now() - scanned > rescanEvery)
        rescan();
    edges.emplace(code, 0);
    readAll();
    bool down = false;
    for (const Device &d : devices)
        down = down || libevdev_get_event_value(d.dev, EV_KEY, code) != 0;
    return (down ? 0x8000 : 0) | std::exchange(edges[code], 0);
}

unsigned EvdevSwitches::codeOf(const std::string &name, const std::string &keymapText)
{
    const xkb_keysym_t sym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (name.empty() || sym == XKB_KEY_NoSymbol)
        return 0;
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return 0;
    xkb_keymap *keymap = keymapText.empty()
        ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)
        : xkb_keymap_new_from_string(context, keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                     XKB_KEYMAP_COMPILE_NO_FLAGS);
    unsigned code = 0;
    for (xkb_keycode_t k = keymap ? xkb_keymap_min_keycode(keymap) : 1;
         keymap && !code && k <= xkb_keymap_max_keycode(keymap); ++k) {
        const xkb_keysym_t *syms = nullptr;
        const int n = xkb_keymap_key_get_syms_by_level(keymap, k, 0, 0, &syms);
        if (k >= 8 && std::find(syms, syms + std::max(n, 0), sym) != syms + std::max(n, 0))
            code = k - 8;
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return code;
}

bool EvdevSwitches::pending()
{
    readAll();
    return std::exchange(moved, false);
}

// Every keyboard's events so far; those unplugged meanwhile go.
void EvdevSwitches::readAll()
{
    for (Device &d : devices)
        read(d);
    std::erase_if(devices, [](const Device &d) { return d.fd < 0; });
}
