#include "x11keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

KeySym charKeysym(char32_t cp)
{
    switch (cp) {
    case 0x08:
        return XK_BackSpace;
    case 0x09:
        return XK_Tab;
    case 0x0A:
    case 0x0D:
        return XK_Return;
    case 0x1B:
        return XK_Escape;
    case 0x7F:
        return XK_Delete;
    default:
        break;
    }
    if (cp < 0x20 || (cp >= 0x80 && cp < 0xA0) || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return NoSymbol;
    if (cp < 0x100)
        return KeySym(cp);
    return KeySym(0x1000000 + cp);
}

char32_t keysymChar(KeySym sym)
{
    switch (sym) {
    case XK_BackSpace:
        return 0x08;
    case XK_Tab:
        return 0x09;
    case XK_Return:
        return 0x0D;
    case XK_Escape:
        return 0x1B;
    case XK_Delete:
        return 0x7F;
    case XK_EuroSign:
        return 0x20AC;
    default:
        break;
    }
    if ((sym >= 0x20 && sym < 0x7F) || (sym >= 0xA0 && sym < 0x100))
        return char32_t(sym);
    if (sym >= 0x1000100 && sym <= 0x110FFFF)
        return char32_t(sym - 0x1000000);
    return 0;
}

KeySym X11Keymap::at(int keycode, int level) const
{
    if (keycode < min || keycode > max || level >= width)
        return NoSymbol;
    const KeySym *row = &syms[size_t(keycode - min) * size_t(width)];
    // A letter listed alone has its upper case on the shifted level.
    if (level == 1 && row[1] == NoSymbol && width > 1) {
        KeySym lower, upper;
        XConvertCase(row[0], &lower, &upper);
        return upper != lower ? upper : NoSymbol;
    }
    return row[level];
}

KeySym X11Keymap::typed(int keycode, bool shift) const
{
    if (keycode < min || keycode > max)
        return NoSymbol;
    return typing[size_t(keycode - min)][shift ? 1 : 0];
}

bool X11Keymap::empty(int keycode) const
{
    for (int level = 0; level < width; ++level) {
        if (at(keycode, level) != NoSymbol)
            return false;
    }
    return true;
}

X11Keymap X11Keymap::read(Display *display)
{
    X11Keymap map;
    XDisplayKeycodes(display, &map.min, &map.max);
    if (map.max < map.min)
        return map;
    KeySym *syms
        = XGetKeyboardMapping(display, KeyCode(map.min), map.max - map.min + 1, &map.width);
    if (!syms) {
        map.max = map.min - 1;
        return map;
    }
    map.syms.assign(syms, syms + size_t(map.max - map.min + 1) * size_t(map.width));
    XFree(syms);

    // The core map lists the first group only; the characters a key types depend on the
    // active group (a second layout) and on Caps Lock, which XKB knows.
    map.typing.assign(size_t(map.max - map.min + 1), { NoSymbol, NoSymbol });
    XkbStateRec state {};
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb || XkbGetState(display, XkbUseCoreKbd, &state) != Success) {
        if (xkb)
            XkbFreeKeyboard(xkb, 0, True);
        for (int keycode = map.min; keycode <= map.max; ++keycode)
            map.typing[size_t(keycode - map.min)] = { map.at(keycode, 0), map.at(keycode, 1) };
        return map;
    }
    for (int keycode = std::max(map.min, int(xkb->min_key_code));
         keycode <= std::min(map.max, int(xkb->max_key_code)); ++keycode) {
        const int groups = XkbKeyNumGroups(xkb, keycode);
        if (groups == 0)
            continue;
        int group = state.group;
        if (group >= groups) {
            const unsigned char info = XkbKeyGroupInfo(xkb, keycode);
            switch (XkbOutOfRangeGroupAction(info)) {
            case XkbClampIntoRange:
                group = groups - 1;
                break;
            case XkbRedirectIntoRange:
                group = XkbOutOfRangeGroupNumber(info);
                if (group >= groups)
                    group = 0;
                break;
            default:
                group %= groups;
                break;
            }
        }
        const XkbKeyTypePtr type = XkbKeyKeyType(xkb, keycode, group);
        const int width = XkbKeyGroupWidth(xkb, keycode, group);
        for (int shift = 0; shift < 2; ++shift) {
            const unsigned mods = (state.locked_mods | (shift ? ShiftMask : 0)) & type->mods.mask;
            int level = 0;
            for (int i = 0; i < type->map_count; ++i) {
                if (type->map[i].active && type->map[i].mods.mask == mods)
                    level = type->map[i].level;
            }
            map.typing[size_t(keycode - map.min)][size_t(shift)]
                = level < width ? XkbKeySymEntry(xkb, keycode, level, group) : NoSymbol;
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return map;
}

KeyCode X11Keymap::find(KeySym sym, int *level) const
{
    for (int l = 0; l < std::min(width, 2); ++l) {
        for (int keycode = min; keycode <= max; ++keycode) {
            if (at(keycode, l) == sym) {
                *level = l;
                return KeyCode(keycode);
            }
        }
    }
    return 0;
}
