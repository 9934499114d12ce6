#pragma once

#include "x11keymap.h"

#include <X11/Xlib.h>

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

// The X connection the layer types and listens through, and what it keeps between calls:
// keycodes lent to characters the layout lacks, keys held, grabs and the raw events read.
// Every use holds mutex.
struct X11Connection
{
    using Clock = std::chrono::steady_clock;

    // A keycode that had no keysyms, lent to a keysym the layout lacks.
    struct Slot
    {
        KeyCode keycode = 0;
        KeySym sym = NoSymbol;
        int held = 0;
        Clock::time_point used;
    };

    std::mutex mutex;
    Display *display = nullptr;
    int xiOpcode = -1;
    bool rawSelected = false;
    // Escape's edges since the last read: bit 0 down, bit 1 up, as in escapeState.
    int escapeEdges = 0;
    // Escape or the switch key went down or up since the last switchEventsPending.
    bool switchMoved = false;
    // The user's own switch key: its keycode (0: none), whether it is to be grabbed, and its
    // edges since the last switchKeyState.
    KeyCode switchCode = 0;
    bool switchGrab = false;
    int switchEdges = 0;
    // Escape taken from every application, as the switch key can be.
    bool escapeGrab = false;
    // A pointer button pressed since the last caretMayHaveMoved, and the focus then.
    bool pointerPressed = false;
    Window focus = None;
    std::vector<Slot> slots;
    // The program's own top-level windows, which must never keep the keyboard focus; the focus
    // as last looked at, and the last window outside them that had it.
    std::vector<Window> ownWindows;
    Window seenFocus = None;
    Window otherFocus = None;
    // Keys pressed and not yet released, so the release goes to the keycode that was pressed
    // even if the keymap changed in between.
    std::map<int, KeyCode> heldVks;
    std::map<char16_t, KeyCode> heldUnits;
    // Everything let go of (releaseAll): once, and not again from an exit that a broken
    // connection starts inside it.
    std::atomic<bool> released { false };
    char16_t highSurrogate = 0;
    std::array<KeyCode, 256> boundVks {};
    size_t nextSpareVk = 0;

    KeyCode findChar(const X11Keymap &map, char32_t cp, int *level, bool slotsToo,
                     int fromLevel = 0) const;
    KeyCode borrow(const X11Keymap &map, KeySym sym);
    Slot *slotOf(KeyCode keycode);
    void giveBack(Slot &slot);
    // Every lent keycode back, once clients had time to translate its last event (at exit).
    void giveAllBack();
    void keycodeEvent(KeyCode keycode, bool press);
    void pressShifted(const X11Keymap &map, KeyCode keycode);
    void drain();
    void tidy();
    void grabSwitch(bool on);
    void grabKey(KeyCode keycode, bool on);
    bool grabbed(KeyCode keycode) const;
    bool isDown(KeyCode keycode);
    // Every key's state from one request, by keycode.
    std::bitset<256> keysDown();
    int vkFor(const X11Keymap &map, KeyCode keycode);
    // Where the window manager gave one of ownWindows the keyboard focus (a click on it), hands
    // it back at once to the window that had it.
    void keepFocusAway();
    bool ownsFocus(Window focus);
    bool ofThisProcess(Window window);
    void giveFocusTo(Window window);
};
