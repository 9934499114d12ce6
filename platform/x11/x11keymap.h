#pragma once

#include <X11/Xlib.h>

#include <array>
#include <vector>

// A snapshot of the core keymap, read afresh for every injection so that a layout change made
// meanwhile (setxkbmap, a borrowed keycode) is always seen.
class X11Keymap
{
public:
    static X11Keymap read(Display *display);

    // The keysym listed at a keycode's level (0 unshifted, 1 shifted); NoSymbol outside.
    KeySym at(int keycode, int level) const;
    // What the key types now, in the active group and with the locked modifiers (Caps Lock,
    // Num Lock), without or with Shift.
    KeySym typed(int keycode, bool shift) const;
    bool empty(int keycode) const;
    // The keycode giving sym at the lowest level, with that level; 0 when none does.
    KeyCode find(KeySym sym, int *level) const;

    int min = 0;
    int max = -1;
    int width = 0;

private:
    std::vector<KeySym> syms;
    std::vector<std::array<KeySym, 2>> typing;
};

// The keysym that types code point cp: Latin-1 keysyms are the code point itself, every other
// character has its Unicode keysym. Controls that have a key get that key.
KeySym charKeysym(char32_t cp);
// The character a keysym types, for the keysyms charKeysym gives and the euro sign, which
// layouts carry under its legacy name; 0 for anything else (keypad and function keys too).
char32_t keysymChar(KeySym sym);
