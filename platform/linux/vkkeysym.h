#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The keysym of each Windows virtual-key code the program sends; 0 (NoSymbol) for the rest.
// Keysyms are X's, which xkbcommon shares.
uint32_t vkKeysym(int vk);

// Virtual-key codes Windows leaves unassigned: keyForChar hands them out for keys of the
// layout that have no code of their own (a French é key, say), bound to that key.
extern const std::array<int, 21> spareVks;

// The keysym that types code point cp; the controls that have a key get that key's. 0 for
// other controls, surrogates and what is not a character.
uint32_t keysymOfChar(char32_t cp);

// What follows Ctrl+Shift+U in GTK's and IBus's Unicode entry for cp: its code in hexadecimal
// and a space, as keysyms.
std::vector<uint32_t> unicodeEntryKeysyms(char32_t cp);
