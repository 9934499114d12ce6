#include "x11platform.h"

#include "../freedesktop/autostart.h"
#include "../linux/vkkeysym.h"
#include "x11connection.h"
#include "x11keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// Xlib's default reaction to a protocol error is to end the process; for a keyboard that
// would be the worst outcome of a refused request, so errors are dropped.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// A broken connection (the X server gone) ends the process at once, with failure: a teardown
// would wait on, or crash in, the connection that broke, perhaps from inside a call on it.
int endOnBrokenConnection(Display *)
{
    std::_Exit(1);
}

} // namespace

X11Platform::X11Platform()
    : d(new X11Connection)
{
    XInitThreads();
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(endOnBrokenConnection);
    d->display = XOpenDisplay(nullptr);
    if (!d->display)
        return;
    int event = 0, error = 0, major = 2, minor = 2;
    if (XQueryExtension(d->display, "XInputExtension", &d->xiOpcode, &event, &error)
        && XIQueryVersion(d->display, &major, &minor) == Success && major >= 2) {
        // Raw events reach a root-window selection whatever has the focus or a grab (2.1+).
    } else {
        d->xiOpcode = -1;
    }
}

X11Platform::~X11Platform()
{
    releaseAll();
    if (d->display)
        XCloseDisplay(d->display);
    delete d;
}

void X11Platform::releaseAll()
{
    if (d->released.exchange(true))
        return;
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return;
    d->grabSwitch(false);
    if (d->escapeGrab)
        d->grabKey(XKeysymToKeycode(d->display, XK_Escape), false);
    d->escapeGrab = false;
    // Nothing pressed here may outlive the program, nor any keycode it borrowed.
    for (const auto &[vk, keycode] : d->heldVks)
        XTestFakeKeyEvent(d->display, keycode, False, CurrentTime);
    for (const auto &[unit, keycode] : d->heldUnits)
        XTestFakeKeyEvent(d->display, keycode, False, CurrentTime);
    d->heldVks.clear();
    d->heldUnits.clear();
    XSync(d->display, False);
    d->giveAllBack();
    XSync(d->display, False); // the process may end without closing the connection
}

void X11Platform::keyEvent(int vk, bool release)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return;
    vk &= 0xff;
    d->drain();
    if (release) {
        const auto it = d->heldVks.find(vk);
        if (it != d->heldVks.end()) {
            d->keycodeEvent(it->second, false);
            d->heldVks.erase(it);
            XFlush(d->display);
            return;
        }
    }
    const X11Keymap map = X11Keymap::read(d->display);
    KeyCode keycode = d->boundVks[size_t(vk)];
    if (!keycode || map.at(keycode, 0) == NoSymbol) {
        keycode = 0;
        const KeySym sym = vkKeysym(vk);
        if (sym == NoSymbol)
            return;
        int level = 0;
        keycode = map.find(sym, &level);
        // Only on a shifted level (the keypad's decimal separator without Num Lock): a
        // keycode of its own makes it the same whatever the lock state.
        if (!keycode || level != 0)
            keycode = release ? 0 : d->borrow(map, sym);
    }
    if (!keycode)
        return;
    if (const auto it = d->heldVks.find(vk);
        !release && it != d->heldVks.end() && it->second != keycode) {
        // Pressed again after the keymap moved it: the earlier key must not stay down.
        d->keycodeEvent(it->second, false);
    }
    d->keycodeEvent(keycode, !release);
    if (release)
        d->heldVks.erase(vk);
    else
        d->heldVks[vk] = keycode;
    XFlush(d->display);
    d->tidy();
}

// Surrogate pairs come as two units; the pair is typed as one character when the low unit
// goes down. A lone surrogate types nothing.
void X11Platform::unicodeEvent(char16_t unit, bool release)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return;
    d->drain();
    if (release) {
        const auto it = d->heldUnits.find(unit);
        if (it != d->heldUnits.end()) {
            d->keycodeEvent(it->second, false);
            d->heldUnits.erase(it);
            XFlush(d->display);
        }
        d->tidy();
        return;
    }
    char32_t cp = unit;
    if (unit >= 0xD800 && unit < 0xDC00) {
        d->highSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (!d->highSurrogate)
            return;
        cp = 0x10000 + ((char32_t(d->highSurrogate) - 0xD800) << 10) + (unit - 0xDC00);
    }
    d->highSurrogate = 0;
    const KeySym sym = charKeysym(cp);
    if (sym == NoSymbol)
        return;
    const X11Keymap map = X11Keymap::read(d->display);
    // With a Shift held here (a Shift mode), only a shifted level types the character.
    const bool shiftDown
        = d->heldVks.count(0x10) || d->heldVks.count(0xA0) || d->heldVks.count(0xA1);
    int level = 0;
    KeyCode keycode = d->findChar(map, cp, &level, true, shiftDown ? 1 : 0);
    if (keycode && level == 1 && !shiftDown) {
        d->pressShifted(map, keycode);
    } else {
        if (!keycode)
            keycode = d->borrow(map, sym);
        if (!keycode)
            return;
        d->keycodeEvent(keycode, true);
    }
    if (const auto it = d->heldUnits.find(unit); it != d->heldUnits.end() && it->second != keycode)
        d->keycodeEvent(it->second, false);
    d->heldUnits[unit] = keycode;
    XFlush(d->display);
}

int X11Platform::keyForChar(char16_t c)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return -1;
    d->drain();
    const X11Keymap map = X11Keymap::read(d->display);
    int level = 0;
    const KeyCode keycode = d->findChar(map, c, &level, false);
    if (!keycode)
        return -1;
    const int vk = d->vkFor(map, keycode);
    if (vk < 0)
        return -1;
    return vk | (level == 1 ? 0x100 : 0);
}

void X11Platform::pointerButton(Button button, bool release)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return;
    XTestFakeButtonEvent(d->display, button == Button::Left ? 1 : 3, !release, CurrentTime);
    // Done before returning: a pointer move that follows on another connection must not
    // overtake it, or a drag would start where it should end.
    XSync(d->display, False);
}

void X11Platform::pointerMoveBy(int dx, int dy)
{
    int x = 0, y = 0;
    if (pointerPosition(&x, &y))
        pointerMoveTo(x + dx, y + dy);
}

// As a real device would: the server clips to the screens and tells the clients of the motion.
void X11Platform::pointerMoveTo(int x, int y)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return;
    XTestFakeMotionEvent(d->display, -1, x, y, CurrentTime);
    XSync(d->display, False);
}

bool X11Platform::pointerPosition(int *x, int *y)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return false;
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    return XQueryPointer(d->display, DefaultRootWindow(d->display), &root, &child, x, y, &wx, &wy,
                         &mask);
}

int X11Platform::escapeState()
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return 0;
    d->keepFocusAway();
    const bool down = d->isDown(XKeysymToKeycode(d->display, XK_Escape));
    return (down ? 0x8000 : 0) | std::exchange(d->escapeEdges, 0);
}

int X11Platform::switchEventFd()
{
    std::lock_guard lock(d->mutex);
    return d->display ? ConnectionNumber(d->display) : -1;
}

bool X11Platform::switchEventsPending()
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return false;
    d->drain();
    return std::exchange(d->switchMoved, false);
}

void X11Platform::setEscapeGrab(bool grab)
{
    std::lock_guard lock(d->mutex);
    if (!d->display || d->escapeGrab == grab)
        return;
    const KeyCode escape = XKeysymToKeycode(d->display, XK_Escape);
    // Escape chosen as the switch key too keeps the switch key's grab.
    if (escape != d->switchCode || !d->switchGrab)
        d->grabKey(escape, grab);
    d->escapeGrab = grab;
    XSync(d->display, False);
}

// Window managers hand the focus to a window that lists WM_TAKE_FOCUS whatever its input hint,
// and mark one that appears without the focus over the focused window as asking for attention
// (metacity, mutter, kwin) unless it cannot take the focus at all: so the protocol goes. Some
// focus its frame on a click all the same (metacity): the switch poll then gives it back.
void X11Platform::keepUnfocused(std::uintptr_t window)
{
    std::lock_guard lock(d->mutex);
    if (!d->display || !window)
        return;
    const Window w = Window(window);
    Atom *protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(d->display, w, &protocols, &count)) {
        const Atom takeFocus = XInternAtom(d->display, "WM_TAKE_FOCUS", False);
        std::vector<Atom> kept;
        for (int i = 0; i < count; ++i) {
            if (protocols[i] != takeFocus)
                kept.push_back(protocols[i]);
        }
        XSetWMProtocols(d->display, w, kept.data(), int(kept.size()));
        XFree(protocols);
    }
    XWMHints hints {};
    if (XWMHints *old = XGetWMHints(d->display, w)) {
        hints = *old;
        XFree(old);
    }
    hints.flags = (hints.flags | InputHint) & ~XUrgencyHint;
    hints.input = False;
    XSetWMHints(d->display, w, &hints);
    XSync(d->display, False);
    if (std::find(d->ownWindows.begin(), d->ownWindows.end(), w) == d->ownWindows.end())
        d->ownWindows.push_back(w);
}

bool X11Platform::caretMayHaveMoved()
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return false;
    d->isDown(0);
    Window now = None;
    int revert = 0;
    XGetInputFocus(d->display, &now, &revert);
    const bool moved = std::exchange(d->pointerPressed, false) || now != d->focus;
    d->focus = now;
    return moved;
}

bool X11Platform::setSwitchKey(const std::string &name, bool grab)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return false;
    if (!(d->escapeGrab && d->switchCode == XKeysymToKeycode(d->display, XK_Escape)))
        d->grabSwitch(false);
    const KeySym sym = name.empty() ? NoSymbol : XStringToKeysym(name.c_str());
    d->switchCode = sym == NoSymbol ? 0 : XKeysymToKeycode(d->display, sym);
    d->switchGrab = grab && d->switchCode;
    d->switchEdges = 0;
    if (d->switchGrab)
        d->grabSwitch(true);
    XSync(d->display, False);
    return d->switchCode != 0;
}

int X11Platform::switchKeyState()
{
    std::lock_guard lock(d->mutex);
    if (!d->display || !d->switchCode)
        return 0;
    const bool down = d->isDown(d->switchCode);
    return (down ? 0x8000 : 0) | std::exchange(d->switchEdges, 0);
}

// The switch poll's one keyboard-state request for both keys.
void X11Platform::switchStates(int *escape, int *key)
{
    std::lock_guard lock(d->mutex);
    *escape = *key = 0;
    if (!d->display)
        return;
    d->keepFocusAway();
    const KeyCode escapeCode = XKeysymToKeycode(d->display, XK_Escape);
    const auto down = d->keysDown();
    const auto isDown = [&](KeyCode code) {
        return code && down[code] ? 0x8000 : 0;
    };
    *escape = isDown(escapeCode) | std::exchange(d->escapeEdges, 0);
    if (d->switchCode)
        *key = isDown(d->switchCode) | std::exchange(d->switchEdges, 0);
}

// A passive grab turns active while its key is down: typing then would only reach Kelo#.
bool X11Platform::grabbedKeyHeld()
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return false;
    const KeyCode escapeCode = XKeysymToKeycode(d->display, XK_Escape);
    const auto down = d->keysDown();
    return (d->grabbed(escapeCode) && down[escapeCode])
        || (d->grabbed(d->switchCode) && down[d->switchCode]);
}

std::string X11Platform::keyDown()
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return {};
    char keys[32] = {};
    XQueryKeymap(d->display, keys);
    for (int code = 8; code < 256; ++code) {
        if ((keys[code / 8] & (1 << (code % 8))) == 0)
            continue;
        const KeySym sym = XkbKeycodeToKeysym(d->display, KeyCode(code), 0, 0);
        const char *name = sym == NoSymbol ? nullptr : XKeysymToString(sym);
        if (name && sym != XK_Escape && !IsModifierKey(sym))
            return name;
    }
    return {};
}

// Raw events and the key map still reach the program under its own grab, so Escape and keyDown
// go on working; a grab another client holds (an open menu) leaves the keys as they were.
void X11Platform::holdKeyboard(bool on)
{
    std::lock_guard lock(d->mutex);
    if (!d->display)
        return;
    if (on)
        XGrabKeyboard(d->display, DefaultRootWindow(d->display), False, GrabModeAsync,
                      GrabModeAsync, CurrentTime);
    else
        XUngrabKeyboard(d->display, CurrentTime);
    XSync(d->display, False);
}

void X11Platform::addSignInLaunch(const std::string &name, const std::string &path)
{
    Autostart::add(name, path);
}

void X11Platform::removeSignInLaunch(const std::string &name)
{
    Autostart::remove(name);
}

std::string X11Platform::signInLaunch(const std::string &name)
{
    return Autostart::path(name);
}
