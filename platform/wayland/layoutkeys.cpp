#include "layoutkeys.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bit>
#include <cstring>

LayoutKeys::LayoutKeys(const std::string &text)
{
    context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return;
    keymap = text.empty()
        ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)
        : xkb_keymap_new_from_string(context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                     XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return;
    // Held modifiers only, the commonest first: a chord takes the fewest of them.
    for (const xkb_keysym_t mod : { XKB_KEY_Shift_L, XKB_KEY_ISO_Level3_Shift,
                                    XKB_KEY_ISO_Level5_Shift, XKB_KEY_Control_L, XKB_KEY_Alt_L }) {
        const Chord chord = find(mod);
        if (chord.key && chord.mods.empty())
            modifierKeys.push_back(chord.key + 8);
    }
}

LayoutKeys::~LayoutKeys()
{
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

LayoutKeys::Chord LayoutKeys::chordFor(uint32_t keysym)
{
    if (!keymap || !keysym)
        return {};
    const auto it = found.find(keysym);
    if (it != found.end())
        return it->second;
    return found[keysym] = find(keysym);
}

unsigned LayoutKeys::layouts() const
{
    return keymap ? xkb_keymap_num_layouts(keymap) : 0;
}

void LayoutKeys::setGroup(unsigned g)
{
    if (g >= layouts())
        g = 0;
    if (g != group)
        found.clear();
    group = g;
}

// Every key whose active layout lists the keysym on some level, with every set of modifier
// keys from the smallest: the first that a fresh state turns into the keysym.
LayoutKeys::Chord LayoutKeys::find(uint32_t keysym) const
{
    const unsigned sets = 1u << modifierKeys.size();
    std::vector<unsigned> order(sets);
    for (unsigned i = 0; i < sets; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [](unsigned a, unsigned b) { return std::popcount(a) < std::popcount(b); });
    Chord best;
    size_t bestMods = SIZE_MAX;
    // Keys the device has (evdev codes below 256) and that a keyboard has: the keymap's
    // stand-ins for modifiers (LVL3, MDSW) are no key anyone presses.
    const xkb_keycode_t last = std::min<xkb_keycode_t>(255 + 8, xkb_keymap_max_keycode(keymap));
    xkb_state *active = xkb_state_new(keymap);
    xkb_state_update_mask(active, 0, 0, 0, 0, 0, group);
    for (xkb_keycode_t k = std::max<xkb_keycode_t>(9, xkb_keymap_min_keycode(keymap)); k <= last;
         ++k) {
        const char *name = xkb_keymap_key_get_name(keymap, k);
        if (name && (!std::strncmp(name, "LVL", 3) || !std::strcmp(name, "MDSW")))
            continue;
        bool listed = false;
        const xkb_layout_index_t on = xkb_state_key_get_layout(active, k);
        for (xkb_level_index_t l = 0; !listed && l < xkb_keymap_num_levels_for_key(keymap, k, on);
             ++l) {
            const xkb_keysym_t *syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap, k, on, l, &syms);
            listed = std::find(syms, syms + std::max(n, 0), keysym) != syms + std::max(n, 0);
        }
        if (!listed)
            continue;
        for (const unsigned set : order) {
            if (size_t(std::popcount(set)) >= bestMods)
                break;
            xkb_state *state = xkb_state_new(keymap);
            xkb_state_update_mask(state, 0, 0, 0, 0, 0, group);
            Chord chord;
            for (size_t i = 0; i < modifierKeys.size(); ++i) {
                if (set & (1u << i)) {
                    xkb_state_update_key(state, modifierKeys[i], XKB_KEY_DOWN);
                    chord.mods.push_back(modifierKeys[i] - 8);
                }
            }
            const bool types = xkb_state_key_get_one_sym(state, k) == keysym;
            xkb_state_unref(state);
            if (types) {
                chord.key = k - 8;
                bestMods = chord.mods.size();
                best = chord;
                break;
            }
        }
        if (bestMods == 0)
            break;
    }
    xkb_state_unref(active);
    return best;
}
