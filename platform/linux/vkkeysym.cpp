#include "vkkeysym.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdio>

const std::array<int, 21> spareVks { 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E,
                                     0x8F, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C,
                                     0x9D, 0x9E, 0x9F, 0xD8, 0xD9, 0xDA, 0xE8 };

uint32_t vkKeysym(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return XKB_KEY_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XKB_KEY_0 + (vk - '0');
    if (vk >= 0x60 && vk <= 0x69)
        return XKB_KEY_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87)
        return XKB_KEY_F1 + (vk - 0x70);
    switch (vk) {
    case 0x08:
        return XKB_KEY_BackSpace;
    case 0x09:
        return XKB_KEY_Tab;
    case 0x0C:
        return XKB_KEY_Clear;
    case 0x0D:
        return XKB_KEY_Return;
    case 0x10:
        return XKB_KEY_Shift_L;
    case 0x11:
        return XKB_KEY_Control_L;
    case 0x12:
        return XKB_KEY_Alt_L;
    case 0x13:
        return XKB_KEY_Pause;
    case 0x14:
        return XKB_KEY_Caps_Lock;
    case 0x1B:
        return XKB_KEY_Escape;
    case 0x20:
        return XKB_KEY_space;
    case 0x21:
        return XKB_KEY_Prior;
    case 0x22:
        return XKB_KEY_Next;
    case 0x23:
        return XKB_KEY_End;
    case 0x24:
        return XKB_KEY_Home;
    case 0x25:
        return XKB_KEY_Left;
    case 0x26:
        return XKB_KEY_Up;
    case 0x27:
        return XKB_KEY_Right;
    case 0x28:
        return XKB_KEY_Down;
    case 0x2C:
        return XKB_KEY_Print;
    case 0x2D:
        return XKB_KEY_Insert;
    case 0x2E:
        return XKB_KEY_Delete;
    case 0x5B:
        return XKB_KEY_Super_L;
    case 0x5C:
        return XKB_KEY_Super_R;
    case 0x5D:
        return XKB_KEY_Menu;
    case 0x6A:
        return XKB_KEY_KP_Multiply;
    case 0x6B:
        return XKB_KEY_KP_Add;
    case 0x6D:
        return XKB_KEY_KP_Subtract;
    case 0x6E:
        return XKB_KEY_KP_Decimal;
    case 0x6F:
        return XKB_KEY_KP_Divide;
    case 0x90:
        return XKB_KEY_Num_Lock;
    case 0x91:
        return XKB_KEY_Scroll_Lock;
    case 0xA0:
        return XKB_KEY_Shift_L;
    case 0xA1:
        return XKB_KEY_Shift_R;
    case 0xA2:
        return XKB_KEY_Control_L;
    case 0xA3:
        return XKB_KEY_Control_R;
    case 0xA4:
        return XKB_KEY_Alt_L;
    case 0xA5:
        return XKB_KEY_Alt_R;
    case 0xA6:
        return XKB_KEY_XF86Back;
    case 0xA7:
        return XKB_KEY_XF86Forward;
    case 0xA8:
        return XKB_KEY_XF86Refresh;
    case 0xA9:
        return XKB_KEY_XF86Stop;
    case 0xAA:
        return XKB_KEY_XF86Search;
    case 0xAB:
        return XKB_KEY_XF86Favorites;
    case 0xAC:
        return XKB_KEY_XF86HomePage;
    case 0xAD:
        return XKB_KEY_XF86AudioMute;
    case 0xAE:
        return XKB_KEY_XF86AudioLowerVolume;
    case 0xAF:
        return XKB_KEY_XF86AudioRaiseVolume;
    case 0xB0:
        return XKB_KEY_XF86AudioNext;
    case 0xB1:
        return XKB_KEY_XF86AudioPrev;
    case 0xB2:
        return XKB_KEY_XF86AudioStop;
    case 0xB3:
        return XKB_KEY_XF86AudioPlay;
    case 0xB4:
        return XKB_KEY_XF86Mail;
    case 0xBA:
        return XKB_KEY_semicolon;
    case 0xBB:
        return XKB_KEY_equal;
    case 0xBC:
        return XKB_KEY_comma;
    case 0xBD:
        return XKB_KEY_minus;
    case 0xBE:
        return XKB_KEY_period;
    case 0xBF:
        return XKB_KEY_slash;
    case 0xC0:
        return XKB_KEY_grave;
    case 0xDB:
        return XKB_KEY_bracketleft;
    case 0xDC:
        return XKB_KEY_backslash;
    case 0xDD:
        return XKB_KEY_bracketright;
    case 0xDE:
        return XKB_KEY_apostrophe;
    case 0xE2:
        return XKB_KEY_less;
    default:
        return XKB_KEY_NoSymbol;
    }
}

uint32_t keysymOfChar(char32_t cp)
{
    switch (cp) {
    case 0x08:
        return XKB_KEY_BackSpace;
    case 0x09:
        return XKB_KEY_Tab;
    case 0x0A:
    case 0x0D:
        return XKB_KEY_Return;
    case 0x1B:
        return XKB_KEY_Escape;
    case 0x7F:
        return XKB_KEY_Delete;
    default:
        break;
    }
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF)
        return 0;
    return xkb_utf32_to_keysym(cp);
}

std::vector<uint32_t> unicodeEntryKeysyms(char32_t cp)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", unsigned(cp));
    std::vector<uint32_t> keysyms;
    for (const char *h = hex; *h; ++h)
        keysyms.push_back(keysymOfChar(char32_t(*h)));
    keysyms.push_back(XKB_KEY_space);
    return keysyms;
}
