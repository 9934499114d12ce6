#include "keym.h"

#include "platform.h"

#include <QChar>

namespace {
// One keyboard per process: the last key pressed and the pending modifier mode.
int g_lastKey = 0;
int g_modMode = 0;
} // namespace

namespace {
// The key each modifier mode holds while text() types; 0 for none.
int modeKey(int mode)
{
    switch (mode) {
    case 1:
        return 0x11; // Ctrl
    case 2:
        return 0x5B; // left Windows key
    case 3:
        return 0xA4; // left Alt: the generic Alt code would not reach every application
    default:
        return mode > 3 ? 0x10 : 0; // Shift
    }
}
} // namespace

KeyM::KeyM(Platform *platform)
    : platform(platform ? *platform : Platform::system())
{
    moveToThread(&workerThread);
    workerThread.start(QThread::InheritPriority);
}

KeyM::~KeyM()
{
    workerThread.quit();
    workerThread.wait();
}

int KeyM::lastKey()
{
    return g_lastKey;
}

int KeyM::modMode()
{
    return g_modMode;
}

bool KeyM::caretMayHaveMoved()
{
    return platform.caretMayHaveMoved();
}

void KeyM::press(int vk)
{
    platform.keyEvent(vk & 0xff, false);
}

void KeyM::release(int vk)
{
    platform.keyEvent(vk & 0xff, true);
}

// A one-shot modifier armed before applies to this key as to a letter (Shift+Tab, Ctrl+Enter,
// Ctrl+Left) and is then used up; the lasting Shift is for characters only.
void KeyM::keyb(int vk)
{
    const int mode = g_modMode >= 1 && g_modMode <= 4 ? g_modMode : 0;
    const int held = modeKey(mode);
    if (held)
        press(held);
    g_lastKey = vk;
    press(vk);
    release(vk);
    if (held) {
        release(held);
        g_modMode = 0;
    }
}

void KeyM::chP(int) { }


// The key for unit on the virtual-key path, -1 when the layout cannot type it that way; *typed
// is the character the key stands for. Shift modes type the capital, so the key must reach it
// with Shift alone; a key that is no letter takes Shift as a keyboard does (1 gives !).
int KeyM::keyFor(char16_t unit, char16_t *typed) const
{
    *typed = unit;
    if (g_modMode < 4)
        return platform.keyForChar(unit);
    *typed = QChar(unit).toUpper().unicode();
    const int key = platform.keyForChar(*typed);
    const int shift = key >> 8;
    return shift == 1 || (shift == 0 && !QChar(unit).isLetter()) ? key : -1;
}

// Modes 1 to 4 hold their key for the first character only and then clear; that character
// goes as a virtual key so the chord (Ctrl+C, Alt+F, ...) reaches the application. Mode 5 and
// above is a sticky Shift: every character goes as a virtual key with Shift held, and Shift is
// released at the end of each call, so nothing stays pressed between calls. Without a mode,
// and for a character the layout cannot type in the mode, the character goes as a Unicode
// press and release, whatever the layout.
void KeyM::text(const std::wstring &s)
{
    // An empty string presses nothing and leaves a pending mode for the next string: there is
    // no character for the modifier to act on, and pressing and releasing it alone would make
    // a lone Alt or Windows key open menus.
    if (s.empty())
        return;
    const int held = modeKey(g_modMode);
    if (held) {
        g_lastKey = held;
        press(held);
    }
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t unit = char16_t(s[i]);
        // The shift byte is not applied: only the mode's own key modifies the character.
        const int key = g_modMode != 0 ? keyFor(unit, &unit) : -1;
        if (key != -1) {
            g_lastKey = key;
            press(key);
            release(key);
        } else {
            platform.unicodeEvent(unit, false);
            platform.unicodeEvent(unit, true);
        }
        if (i == 0 && g_modMode <= 4) {
            if (g_modMode >= 1)
                release(modeKey(g_modMode));
            g_modMode = 0;
        }
    }
    if (g_modMode > 4)
        release(0x10);
}

void KeyM::special(int code)
{
    if (code != 14)
        return;
    // Alt+F4: close the focused window.
    g_lastKey = 18;
    press(18);
    g_lastKey = 115;
    press(115);
    release(115);
    release(18);
}

void KeyM::modif(int mode)
{
    g_modMode = (mode == 5 && g_modMode != 0) ? 0 : mode;
}

void KeyM::up(int vk)
{
    release(vk == 0 ? g_lastKey : vk);
}

void KeyM::down(int vk)
{
    g_lastKey = vk;
    press(vk);
}
