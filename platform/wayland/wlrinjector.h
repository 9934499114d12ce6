#pragma once

#include "injector.h"
#include "virtualkeymap.h"

#include <chrono>
#include <map>
#include <memory>

class WaylandSession;
struct zwp_virtual_keyboard_v1;
struct zwlr_virtual_pointer_v1;

// wlroots compositors (sway, labwc, Hyprland): a virtual keyboard with a keymap of its own,
// uploaded again when a character needs a key, and a virtual pointer. The keyboard lives as long
// as this object: a compositor drops the seat's keyboard when its last one goes.
class WlrInjector : public Injector
{
public:
    // Nullptr unless the compositor offers both devices.
    static std::unique_ptr<WlrInjector> create(WaylandSession &session);
    ~WlrInjector() override;

    void vkEvent(int vk, bool release) override;
    int keyForChar(char16_t c) override;
    bool charEvent(char32_t cp, bool release) override;
    void button(bool right, bool release) override;
    void moveBy(int dx, int dy) override;
    void moveTo(int x, int y, int width, int height) override;

private:
    WlrInjector(WaylandSession &session);
    uint32_t now() const;
    void key(uint32_t key, bool press);
    void uploadKeymap();
    void sendModifiers();

    WaylandSession &session;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    zwlr_virtual_pointer_v1 *pointer = nullptr;
    VirtualKeymap keymap;
    std::map<int, uint32_t> heldVks;
    std::map<char32_t, uint32_t> heldChars;
    std::map<uint32_t, uint32_t> heldMods; // by key: its modifier bit
    uint32_t mods = 0;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
