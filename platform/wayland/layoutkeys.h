#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct xkb_context;
struct xkb_keymap;

// The keys of the user's own layout, for a device that cannot bring a keymap of its own: which
// key, with which modifier keys held, gives a keysym. Found by trying the keys in a state of
// the keymap, so that whatever the layout's modifiers (Shift, AltGr, a fifth level) the chord
// is one the keymap really turns into that keysym. Keys are evdev codes.
class LayoutKeys
{
public:
    struct Chord
    {
        std::vector<uint32_t> mods; // modifier keys, pressed in this order before the key
        uint32_t key = 0; // 0 when the layout has no key for it
    };

    // keymap: an XKB keymap in text form; empty for the system's default (US) one.
    explicit LayoutKeys(const std::string &keymap);
    ~LayoutKeys();
    LayoutKeys(const LayoutKeys &) = delete;
    LayoutKeys &operator=(const LayoutKeys &) = delete;

    bool valid() const { return keymap != nullptr; }
    Chord chordFor(uint32_t keysym);
    // Which of the keymap's layouts the keys are read through ("us,de": 1 is German); one
    // the keymap lacks is taken as the first.
    void setGroup(unsigned group);
    unsigned layouts() const;

private:
    Chord find(uint32_t keysym) const;

    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    std::vector<uint32_t> modifierKeys; // XKB keycodes of Shift, AltGr, the fifth level, ...
    std::map<uint32_t, Chord> found;
    unsigned group = 0;
};
