#include "virtualkeymap.h"

#include "../linux/vkkeysym.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace {

// Keys 1 to 247 (XKB keycodes 9 to 255): X clients behind XWayland see no keycode above 255.
constexpr uint32_t lastKey = 247;

// The shifted keysym of a US keyboard's key, 0 where Shift changes nothing.
uint32_t usShifted(uint32_t sym)
{
    if (sym >= XKB_KEY_a && sym <= XKB_KEY_z)
        return sym - XKB_KEY_a + XKB_KEY_A;
    static const std::pair<uint32_t, uint32_t> pairs[] = {
        { XKB_KEY_1, XKB_KEY_exclam },
        { XKB_KEY_2, XKB_KEY_at },
        { XKB_KEY_3, XKB_KEY_numbersign },
        { XKB_KEY_4, XKB_KEY_dollar },
        { XKB_KEY_5, XKB_KEY_percent },
        { XKB_KEY_6, XKB_KEY_asciicircum },
        { XKB_KEY_7, XKB_KEY_ampersand },
        { XKB_KEY_8, XKB_KEY_asterisk },
        { XKB_KEY_9, XKB_KEY_parenleft },
        { XKB_KEY_0, XKB_KEY_parenright },
        { XKB_KEY_semicolon, XKB_KEY_colon },
        { XKB_KEY_equal, XKB_KEY_plus },
        { XKB_KEY_comma, XKB_KEY_less },
        { XKB_KEY_minus, XKB_KEY_underscore },
        { XKB_KEY_period, XKB_KEY_greater },
        { XKB_KEY_slash, XKB_KEY_question },
        { XKB_KEY_grave, XKB_KEY_asciitilde },
        { XKB_KEY_bracketleft, XKB_KEY_braceleft },
        { XKB_KEY_backslash, XKB_KEY_bar },
        { XKB_KEY_bracketright, XKB_KEY_braceright },
        { XKB_KEY_apostrophe, XKB_KEY_quotedbl },
        { XKB_KEY_less, XKB_KEY_greater },
    };
    for (const auto &[lower, upper] : pairs) {
        if (lower == sym)
            return upper;
    }
    return 0;
}

uint32_t modifierOf(uint32_t sym)
{
    switch (sym) {
    case XKB_KEY_Shift_L:
    case XKB_KEY_Shift_R:
        return 1;
    case XKB_KEY_Control_L:
    case XKB_KEY_Control_R:
        return 4;
    case XKB_KEY_Alt_L:
    case XKB_KEY_Alt_R:
        return 8;
    case XKB_KEY_Super_L:
    case XKB_KEY_Super_R:
        return 64;
    default:
        return 0;
    }
}

std::string keysymName(uint32_t sym)
{
    char name[64];
    xkb_keysym_get_name(sym, name, sizeof name);
    return name;
}

} // namespace

VirtualKeymap::VirtualKeymap()
{
    uint32_t key = 1;
    for (int vk = 1; vk < 256; ++vk) {
        const uint32_t sym = vkKeysym(vk);
        if (!sym)
            continue;
        const auto same = std::find_if(fixed.begin(), fixed.end(),
                                       [&](const Fixed &f) { return f.lower == sym; });
        if (same != fixed.end()) {
            vkKeys[vk] = same->key;
            continue;
        }
        fixed.push_back(Fixed { key, sym, usShifted(sym), modifierOf(sym) });
        vkKeys[vk] = key++;
    }
    for (; key <= lastKey; ++key)
        lent[key] = Lent {};
    // Capitals and the shifted signs are typed often enough to have keys from the start.
    for (const Fixed &f : fixed) {
        if (f.upper)
            lendKey(f.upper);
    }
}

uint32_t VirtualKeymap::keyOfVk(int vk, uint32_t *mod) const
{
    vk &= 0xff;
    if (mod)
        *mod = 0;
    if (const auto bound = boundVks.find(vk); bound != boundVks.end())
        return bound->second;
    const auto it = vkKeys.find(vk);
    if (it == vkKeys.end())
        return 0;
    if (mod)
        *mod = fixed[it->second - 1].mod;
    return it->second;
}

uint32_t VirtualKeymap::keyOfChar(char32_t cp)
{
    const uint32_t sym = keysymOfChar(cp);
    if (!sym)
        return 0;
    for (const Fixed &f : fixed) {
        if (f.lower == sym && !f.mod)
            return f.key;
    }
    return lendKey(sym);
}

uint32_t VirtualKeymap::lendKey(uint32_t sym)
{
    uint32_t best = 0;
    for (auto &[key, l] : lent) {
        if (l.keysym == sym) {
            l.used = ++clock;
            return key;
        }
        if (!l.held && (!best || l.used < lent[best].used))
            best = key;
    }
    if (!best)
        return 0;
    lent[best] = Lent { sym, ++clock, 0 };
    dirty = true;
    return best;
}

int VirtualKeymap::keyForChar(char16_t c)
{
    const uint32_t sym = keysymOfChar(c);
    if (!sym || c < 0x20)
        return -1;
    for (const auto &[vk, key] : vkKeys) {
        const Fixed &f = fixed[key - 1];
        if (boundVks.count(vk) || f.mod)
            continue;
        if (f.lower == sym)
            return vk;
        if (f.upper == sym)
            return vk | 0x100;
    }
    const uint32_t key = lendKey(sym);
    if (!key)
        return -1;
    for (const auto &[vk, bound] : boundVks) {
        if (bound == key)
            return vk;
    }
    // Rebind the next spare code whose key is not down.
    for (size_t tries = 0; tries < spareVks.size(); ++tries) {
        const int vk = spareVks[nextSpare];
        nextSpare = (nextSpare + 1) % spareVks.size();
        const auto it = boundVks.find(vk);
        if (it == boundVks.end() || !lent[it->second].held) {
            boundVks[vk] = key;
            return vk;
        }
    }
    return -1;
}

void VirtualKeymap::held(uint32_t key, bool down)
{
    const auto it = lent.find(key);
    if (it != lent.end())
        it->second.held = std::max(0, it->second.held + (down ? 1 : -1));
}

std::string VirtualKeymap::text()
{
    dirty = false;
    std::string out = "xkb_keymap {\nxkb_keycodes \"kelo\" {\n minimum = 8;\n maximum = "
        + std::to_string(lastKey + 8) + ";\n";
    for (uint32_t key = 1; key <= lastKey; ++key)
        out += " <K" + std::to_string(key) + "> = " + std::to_string(key + 8) + ";\n";
    out += "};\nxkb_types \"kelo\" { include \"complete\" };\n"
           "xkb_compatibility \"kelo\" { include \"complete\" };\nxkb_symbols \"kelo\" {\n";
    for (const Fixed &f : fixed) {
        out += " key <K" + std::to_string(f.key) + "> { [ " + keysymName(f.lower);
        if (f.upper)
            out += ", " + keysymName(f.upper);
        out += " ] };\n";
    }
    for (const auto &[key, l] : lent) {
        if (l.keysym)
            out += " key <K" + std::to_string(key) + "> { [ " + keysymName(l.keysym) + " ] };\n";
    }
    static const std::pair<const char *, uint32_t> maps[]
        = { { "Shift", 1 }, { "Control", 4 }, { "Mod1", 8 }, { "Mod4", 64 } };
    for (const auto &[name, bit] : maps) {
        std::string keys;
        for (const Fixed &f : fixed) {
            if (f.mod == bit)
                keys += std::string(keys.empty() ? " " : ", ") + "<K" + std::to_string(f.key) + ">";
        }
        out += std::string(" modifier_map ") + name + " {" + keys + " };\n";
    }
    for (const Fixed &f : fixed) {
        if (f.lower == XKB_KEY_Caps_Lock)
            out += " modifier_map Lock { <K" + std::to_string(f.key) + "> };\n";
        if (f.lower == XKB_KEY_Num_Lock)
            out += " modifier_map Mod2 { <K" + std::to_string(f.key) + "> };\n";
    }
    return out + "};\n};\n";
}
