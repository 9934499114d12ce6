#include "x11platform.h"

#include "../freedesktop/autostart.h"
#include "../linux/vkkeysym.h"
#include "x11keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How many keycodes without keysyms are borrowed for characters the keymap lacks.
constexpr size_t slotCount = 8;
// A borrowed keycode is not given another keysym sooner than this after its last key event,
// and is given back this long after it, so that a client still translating that event reads
// the keysym it was typed with.
constexpr auto slotMinAge = std::chrono::milliseconds(500);
constexpr auto slotIdle = std::chrono::seconds(5);

// Xlib's default reaction to a protocol error is to end the process; for a keyboard that
// would be the worst outcome of a refused request, so errors are dropped.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

struct X11Platform::Private
{
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
    bool escapePressed = false;
    // Escape or the switch key went down or up since the last switchEventsPending.
    bool switchMoved = false;
    // The user's own switch key: its keycode (0: none), whether it is to be grabbed, and a
    // press seen since the last switchKeyState.
    KeyCode switchCode = 0;
    bool switchGrab = false;
    bool switchPressed = false;
    // Escape taken from every application, as the switch key can be.
    bool escapeGrab = false;
    // A pointer button pressed since the last caretMayHaveMoved, and the focus then.
    bool pointerPressed = false;
    Window focus = None;
    std::vector<Slot> slots;
    // Keys pressed and not yet released, so the release goes to the keycode that was pressed
    // even if the keymap changed in between.
    std::map<int, KeyCode> heldVks;
    std::map<char16_t, KeyCode> heldUnits;
    char16_t highSurrogate = 0;
    std::array<KeyCode, 256> boundVks {};
    size_t nextSpareVk = 0;

    KeyCode findChar(const X11Keymap &map, char32_t cp, int *level, bool slotsToo,
                     int fromLevel = 0) const;
    KeyCode borrow(const X11Keymap &map, KeySym sym);
    Slot *slotOf(KeyCode keycode);
    void giveBack(Slot &slot);
    void keycodeEvent(KeyCode keycode, bool press);
    void pressShifted(const X11Keymap &map, KeyCode keycode);
    void drain();
    void tidy();
    void grabSwitch(bool on);
    void grabKey(KeyCode keycode, bool on);
    bool grabbed(KeyCode keycode) const;
    bool isDown(KeyCode keycode);
    int vkFor(const X11Keymap &map, KeyCode keycode);
};

// The keycode typing cp now, with *level 1 when it needs Shift; 0 when no key types it.
KeyCode X11Platform::Private::findChar(const X11Keymap &map, char32_t cp, int *level, bool slotsToo,
                                       int fromLevel) const
{
    for (int l = fromLevel; l < 2; ++l) {
        for (int keycode = map.min; keycode <= map.max; ++keycode) {
            if (keysymChar(map.typed(keycode, l == 1)) != cp)
                continue;
            const bool borrowed = std::any_of(slots.begin(), slots.end(),
                                              [&](const Slot &s) { return s.keycode == keycode; });
            if (borrowed && !slotsToo)
                continue;
            *level = l;
            return KeyCode(keycode);
        }
    }
    return 0;
}

X11Platform::Private::Slot *X11Platform::Private::slotOf(KeyCode keycode)
{
    for (Slot &slot : slots) {
        if (slot.keycode == keycode)
            return &slot;
    }
    return nullptr;
}

// Lends a keycode without keysyms to sym, on both levels so Shift does not matter. The least
// recently used free slot goes; it is synced before any key event can use it.
KeyCode X11Platform::Private::borrow(const X11Keymap &map, KeySym sym)
{
    // Drop slots the keymap gave to something else (a new layout), then top up with empty
    // keycodes from the top of the range, where no physical key sits.
    std::erase_if(slots, [&](const Slot &s) {
        return s.held == 0 && !map.empty(s.keycode) && map.at(s.keycode, 0) != s.sym;
    });
    for (int keycode = map.max; keycode >= map.min && slots.size() < slotCount; --keycode) {
        if (map.empty(keycode) && !slotOf(KeyCode(keycode)))
            slots.push_back(Slot { KeyCode(keycode), NoSymbol, 0, Clock::time_point() });
    }
    Slot *best = nullptr;
    for (Slot &slot : slots) {
        if (slot.held == 0 && (!best || slot.used < best->used))
            best = &slot;
    }
    if (!best)
        return 0;
    const auto age = Clock::now() - best->used;
    if (age < slotMinAge) {
        XSync(display, False);
        std::this_thread::sleep_for(slotMinAge - age);
    }
    KeySym both[2] = { sym, sym };
    XChangeKeyboardMapping(display, best->keycode, 2, both, 1);
    XSync(display, False);
    best->sym = sym;
    return best->keycode;
}

void X11Platform::Private::giveBack(Slot &slot)
{
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(display, slot.keycode, 1, &none, 1);
    slot.sym = NoSymbol;
}

void X11Platform::Private::keycodeEvent(KeyCode keycode, bool press)
{
    // The program's own press of a grabbed key goes to the application like any other key.
    const bool own = grabbed(keycode);
    if (own && press)
        grabKey(keycode, false);
    XTestFakeKeyEvent(display, keycode, press, CurrentTime);
    if (own && !press) {
        XSync(display, False);
        grabKey(keycode, true);
    }
    if (Slot *slot = slotOf(keycode)) {
        slot->held = std::max(0, slot->held + (press ? 1 : -1));
        slot->used = Clock::now();
    }
}

// Presses a key whose character is on the shifted level: Shift goes down and up around the
// press only, so it can never be left down.
void X11Platform::Private::pressShifted(const X11Keymap &map, KeyCode keycode)
{
    int level = 0;
    const KeyCode shift = map.find(XK_Shift_L, &level);
    if (shift)
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
    keycodeEvent(keycode, true);
    if (shift)
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
}

// Reads whatever the server has sent without waiting for more: raw key events for the Escape
// state, and keymap changes so Xlib's own keycode lookups stay current.
void X11Platform::Private::drain()
{
    const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress || event.type == KeyRelease) {
            // A grabbed key's own events: while the grab is active no raw release comes.
            const KeyCode code = event.xkey.keycode;
            switchMoved = switchMoved || (code && (code == escape || code == switchCode));
        } else if (event.type == GenericEvent && event.xcookie.extension == xiOpcode
                   && XGetEventData(display, &event.xcookie)) {
            const auto *raw = static_cast<const XIRawEvent *>(event.xcookie.data);
            const bool key = event.xcookie.evtype == XI_RawKeyPress
                || event.xcookie.evtype == XI_RawKeyRelease;
            if (key && raw->detail && (raw->detail == escape || raw->detail == switchCode))
                switchMoved = true;
            if (event.xcookie.evtype == XI_RawKeyPress && raw->detail == escape && escape)
                escapePressed = true;
            if (event.xcookie.evtype == XI_RawKeyPress && raw->detail == switchCode && switchCode)
                switchPressed = true;
            if (event.xcookie.evtype == XI_RawButtonPress)
                pointerPressed = true;
            XFreeEventData(display, &event.xcookie);
        }
    }
}

// Every modifier combination, so that the key stays the switch under a held Shift, Num Lock or
// Caps Lock; one by one, so that a combination another client holds costs only itself.
void X11Platform::Private::grabKey(KeyCode keycode, bool on)
{
    if (!keycode)
        return;
    const Window root = DefaultRootWindow(display);
    if (!on) {
        XUngrabKey(display, keycode, AnyModifier, root);
        return;
    }
    for (unsigned mods = 0; mods < 256; ++mods)
        XGrabKey(display, keycode, mods, root, False, GrabModeAsync, GrabModeAsync);
}

void X11Platform::Private::grabSwitch(bool on)
{
    grabKey(switchCode, on);
}

bool X11Platform::Private::grabbed(KeyCode keycode) const
{
    return keycode
        && ((switchGrab && keycode == switchCode)
            || (escapeGrab && keycode == XKeysymToKeycode(display, XK_Escape)));
}

// Selects the raw key events once, then asks the server which keys are down. The round trip
// comes first: every event the server generated before it is then in Xlib's queue, so a tap
// finished just before this call is not missed.
bool X11Platform::Private::isDown(KeyCode keycode)
{
    if (!rawSelected && xiOpcode >= 0) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XISetMask(bits, XI_RawButtonPress);
        XIEventMask mask { XIAllMasterDevices, int(sizeof bits), bits };
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        rawSelected = true;
    }
    char keys[32] = {};
    XQueryKeymap(display, keys);
    drain();
    tidy();
    return keycode && (keys[keycode / 8] & (1 << (keycode % 8)));
}

// Gives borrowed keycodes back once no client can still be translating their last event.
void X11Platform::Private::tidy()
{
    const auto now = Clock::now();
    bool changed = false;
    for (Slot &slot : slots) {
        if (slot.sym != NoSymbol && slot.held == 0 && now - slot.used > slotIdle) {
            giveBack(slot);
            changed = true;
        }
    }
    if (changed)
        XFlush(display);
}

// A Windows virtual-key code that keyEvent turns back into keycode.
int X11Platform::Private::vkFor(const X11Keymap &map, KeyCode keycode)
{
    KeySym lower, upper;
    XConvertCase(map.at(keycode, 0), &lower, &upper);
    if (lower >= XK_a && lower <= XK_z)
        return int('A' + (lower - XK_a));
    if (lower >= XK_0 && lower <= XK_9)
        return int('0' + (lower - XK_0));
    for (int vk = 1; vk < 256; ++vk) {
        int level = 0;
        const KeySym sym = vkKeysym(vk);
        if (sym != NoSymbol && map.find(sym, &level) == keycode && level == 0)
            return vk;
    }
    for (int vk : spareVks) {
        if (boundVks[size_t(vk)] == keycode)
            return vk;
    }
    // Rebind the next spare code, skipping one whose key is down.
    for (size_t tries = 0; tries < spareVks.size(); ++tries) {
        const int vk = spareVks[nextSpareVk];
        nextSpareVk = (nextSpareVk + 1) % spareVks.size();
        if (!heldVks.count(vk)) {
            boundVks[size_t(vk)] = keycode;
            return vk;
        }
    }
    return -1;
}

X11Platform::X11Platform()
    : d(new Private)
{
    XInitThreads();
    XSetErrorHandler(ignoreXError);
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
    if (d->display) {
        d->grabSwitch(false);
        if (d->escapeGrab)
            d->grabKey(XKeysymToKeycode(d->display, XK_Escape), false);
        // Nothing pressed here may outlive the program, nor any keycode it borrowed.
        for (const auto &[vk, keycode] : d->heldVks)
            XTestFakeKeyEvent(d->display, keycode, False, CurrentTime);
        for (const auto &[unit, keycode] : d->heldUnits)
            XTestFakeKeyEvent(d->display, keycode, False, CurrentTime);
        XSync(d->display, False);
        // Clients translate a key with the keymap they fetch when they get to the event; give
        // them the same grace as a slot lent again before taking the keysyms away.
        Clock::time_point last;
        for (const Private::Slot &slot : d->slots)
            last = std::max(last, slot.used);
        if (const auto age = Clock::now() - last; age < slotMinAge)
            std::this_thread::sleep_for(slotMinAge - age);
        for (Private::Slot &slot : d->slots) {
            if (slot.sym != NoSymbol)
                d->giveBack(slot);
        }
        XCloseDisplay(d->display);
    }
    delete d;
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
    const bool down = d->isDown(XKeysymToKeycode(d->display, XK_Escape));
    const int state = (down ? 0x8000 : 0) | (d->escapePressed ? 1 : 0);
    d->escapePressed = false;
    return state;
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
// (metacity, mutter, kwin) unless it cannot take the focus at all: so the protocol goes.
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
    d->switchPressed = false;
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
    const int state = (down ? 0x8000 : 0) | (d->switchPressed ? 1 : 0);
    d->switchPressed = false;
    return state;
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
