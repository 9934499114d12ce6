#include "wlrinjector.h"

#include "waylandsession.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

std::unique_ptr<WlrInjector> WlrInjector::create(WaylandSession &session)
{
    if (!session.seat || !session.keyboards || !session.pointers)
        return nullptr;
    std::unique_ptr<WlrInjector> injector(new WlrInjector(session));
    injector->uploadKeymap();
    // A compositor that refuses the devices ends the connection.
    if (!session.sync())
        return nullptr;
    return injector;
}

WlrInjector::WlrInjector(WaylandSession &session)
    : session(session)
{
    keyboard
        = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(session.keyboards, session.seat);
    pointer
        = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(session.pointers, session.seat);
}

WlrInjector::~WlrInjector()
{
    if (!session.lost()) {
        // Nothing pressed here may outlive the program.
        for (const auto &[vk, k] : heldVks)
            key(k, false);
        for (const auto &[cp, k] : heldChars)
            key(k, false);
        heldMods.clear();
        sendModifiers();
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    zwlr_virtual_pointer_v1_destroy(pointer);
    session.sync();
}

uint32_t WlrInjector::now() const
{
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count());
}

void WlrInjector::uploadKeymap()
{
    const std::string text = keymap.text();
    const int fd = memfd_create("kelo-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return;
    // With its terminating zero, as the compositor maps it as a C string.
    if (write(fd, text.c_str(), text.size() + 1) == ssize_t(text.size() + 1))
        zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       uint32_t(text.size() + 1));
    close(fd);
}

void WlrInjector::sendModifiers()
{
    uint32_t now = 0;
    for (const auto &[k, bit] : heldMods)
        now |= bit;
    if (now == mods)
        return;
    mods = now;
    zwp_virtual_keyboard_v1_modifiers(keyboard, mods, 0, 0, 0);
}

void WlrInjector::key(uint32_t k, bool press)
{
    if (keymap.changed())
        uploadKeymap();
    zwp_virtual_keyboard_v1_key(
        keyboard, now(), k, press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    keymap.held(k, press);
}

void WlrInjector::vkEvent(int vk, bool release)
{
    vk &= 0xff;
    uint32_t k = 0, mod = 0;
    if (const auto it = heldVks.find(vk); it != heldVks.end()) {
        k = it->second;
        mod = heldMods.count(k) ? heldMods[k] : 0;
    } else if (release) {
        return;
    } else {
        k = keymap.keyOfVk(vk, &mod);
    }
    if (!k)
        return;
    if (release) {
        heldVks.erase(vk);
        key(k, false);
        heldMods.erase(k);
    } else {
        if (heldVks.count(vk)) // pressed twice: the earlier press ends first
            key(k, false);
        heldVks[vk] = k;
        if (mod)
            heldMods[k] = mod;
        key(k, true);
    }
    sendModifiers();
    wl_display_flush(session.display);
}

int WlrInjector::keyForChar(char16_t c)
{
    return keymap.keyForChar(c);
}

bool WlrInjector::charEvent(char32_t cp, bool release)
{
    const auto it = heldChars.find(cp);
    if (release) {
        if (it == heldChars.end())
            return true;
        key(it->second, false);
        heldChars.erase(it);
    } else {
        if (it != heldChars.end())
            key(it->second, false);
        const uint32_t k = keymap.keyOfChar(cp);
        if (!k)
            return false;
        key(k, true);
        heldChars[cp] = k;
    }
    wl_display_flush(session.display);
    return true;
}

void WlrInjector::button(bool right, bool release)
{
    zwlr_virtual_pointer_v1_button(pointer, now(), right ? BTN_RIGHT : BTN_LEFT,
                                   release ? WL_POINTER_BUTTON_STATE_RELEASED
                                           : WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    session.sync();
}

void WlrInjector::moveBy(int dx, int dy)
{
    zwlr_virtual_pointer_v1_motion(pointer, now(), wl_fixed_from_int(dx), wl_fixed_from_int(dy));
    zwlr_virtual_pointer_v1_frame(pointer);
    session.sync();
}

void WlrInjector::moveTo(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height)
        return;
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), uint32_t(x), uint32_t(y),
                                            uint32_t(width), uint32_t(height));
    zwlr_virtual_pointer_v1_frame(pointer);
    session.sync();
}
