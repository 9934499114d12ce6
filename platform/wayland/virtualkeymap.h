#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The keymap the program gives its own virtual keyboard: a key for every virtual-key code it
// sends, laid out as a US keyboard so that chords and keyForChar mean what they do elsewhere,
// and keys lent to any other character on demand. Keys are evdev codes (XKB keycode - 8); the
// modifiers are XKB's real ones (Shift 1, Lock 2, Control 4, Mod1 8, Mod2 16, Mod4 64).
class VirtualKeymap
{
public:
    VirtualKeymap();

    // The key of a virtual-key code (one bound by keyForChar too), 0 when it has none; *mod the
    // modifier bit it holds down.
    uint32_t keyOfVk(int vk, uint32_t *mod = nullptr) const;
    // The key typing code point cp whatever the modifiers, lending one when needed (then
    // changed() turns true); 0 when every lendable key is held.
    uint32_t keyOfChar(char32_t cp);
    // As Platform::keyForChar: a virtual-key code with Shift in bit 8, -1 when none is free.
    int keyForChar(char16_t c);
    // A lent key is not lent again while it is down.
    void held(uint32_t key, bool down);

    // The whole keymap in XKB's text format, and whether it changed since it was last taken.
    std::string text();
    bool changed() const { return dirty; }

private:
    struct Lent
    {
        uint32_t keysym = 0;
        uint64_t used = 0;
        int held = 0;
    };
    uint32_t lendKey(uint32_t keysym);

    // Fixed keys: keysyms on level 1 and 2 (0 none) and the modifier bit.
    struct Fixed
    {
        uint32_t key;
        uint32_t lower, upper, mod;
    };
    std::vector<Fixed> fixed;
    std::map<int, uint32_t> vkKeys;
    std::map<uint32_t, Lent> lent; // by key
    std::map<int, uint32_t> boundVks; // spare virtual-key codes lent keys are reached by
    size_t nextSpare = 0;
    uint64_t clock = 0;
    bool dirty = true;
};
