#include "x11connection.h"

#include "../linux/vkkeysym.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <X11/Xatom.h>

#include <algorithm>
#include <thread>
#include <unistd.h>

namespace {

// How many keycodes without keysyms are borrowed for characters the keymap lacks.
constexpr size_t slotCount = 8;
// A borrowed keycode is not given another keysym sooner than this after its last key event,
// and is given back this long after it, so that a client still translating that event reads
// the keysym it was typed with.
constexpr auto slotMinAge = std::chrono::milliseconds(500);
constexpr auto slotIdle = std::chrono::seconds(5);

Window parentOf(Display *display, Window window)
{
    Window parent = None, root = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return None;
    if (children)
        XFree(children);
    return parent;
}

} // namespace

// The keycode typing cp now, with *level 1 when it needs Shift; 0 when no key types it.
KeyCode X11Connection::findChar(const X11Keymap &map, char32_t cp, int *level, bool slotsToo,
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

X11Connection::Slot *X11Connection::slotOf(KeyCode keycode)
{
    for (Slot &slot : slots) {
        if (slot.keycode == keycode)
            return &slot;
    }
    return nullptr;
}

// Lends a keycode without keysyms to sym, on both levels so Shift does not matter. The least
// recently used free slot goes; it is synced before any key event can use it.
KeyCode X11Connection::borrow(const X11Keymap &map, KeySym sym)
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

void X11Connection::giveBack(Slot &slot)
{
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(display, slot.keycode, 1, &none, 1);
    slot.sym = NoSymbol;
}

void X11Connection::keycodeEvent(KeyCode keycode, bool press)
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
void X11Connection::pressShifted(const X11Keymap &map, KeyCode keycode)
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
void X11Connection::drain()
{
    const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
    // One of the two keys moved: 1 it went down, 2 up, 0 either (as escapeState's bits).
    const auto edge = [&](unsigned code, int bit) {
        escapeEdges |= code && code == escape ? bit : 0;
        switchEdges |= code && code == switchCode ? bit : 0;
        switchMoved = switchMoved || (code && (code == escape || code == switchCode));
    };
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress || event.type == KeyRelease) {
            // A grabbed key's own events: while the grab is active no raw release comes.
            edge(event.xkey.keycode, event.type == KeyRelease ? 2 : 0);
        } else if (event.type == GenericEvent && event.xcookie.extension == xiOpcode
                   && XGetEventData(display, &event.xcookie)) {
            const auto *raw = static_cast<const XIRawEvent *>(event.xcookie.data);
            const bool key = event.xcookie.evtype == XI_RawKeyPress
                || event.xcookie.evtype == XI_RawKeyRelease;
            // Raw presses come only from the device, never from the server's key repeat.
            if (key)
                edge(unsigned(raw->detail), event.xcookie.evtype == XI_RawKeyPress ? 1 : 2);
            if (event.xcookie.evtype == XI_RawButtonPress)
                pointerPressed = true;
            XFreeEventData(display, &event.xcookie);
        }
    }
}

// Every modifier combination, so that the key stays the switch under a held Shift, Num Lock or
// Caps Lock; one by one, so that a combination another client holds costs only itself.
void X11Connection::grabKey(KeyCode keycode, bool on)
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

void X11Connection::grabSwitch(bool on)
{
    grabKey(switchCode, on);
}

bool X11Connection::grabbed(KeyCode keycode) const
{
    return keycode
        && ((switchGrab && keycode == switchCode)
            || (escapeGrab && keycode == XKeysymToKeycode(display, XK_Escape)));
}

// Selects the raw key events once, then asks the server which keys are down. The round trip
// comes first: every event the server generated before it is then in Xlib's queue, so a tap
// finished just before this call is not missed.
bool X11Connection::isDown(KeyCode keycode)
{
    const std::bitset<256> down = keysDown();
    return keycode && down[keycode];
}

std::bitset<256> X11Connection::keysDown()
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
    std::bitset<256> down;
    for (int code = 0; code < 256; ++code)
        down[code] = (keys[code / 8] & (1 << (code % 8))) != 0;
    return down;
}

// Gives borrowed keycodes back once no client can still be translating their last event.
void X11Connection::tidy()
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
int X11Connection::vkFor(const X11Keymap &map, KeyCode keycode)
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

// Clients translate a key with the keymap they fetch when they get to the event: the same
// grace as a slot lent again before the keysyms go.
void X11Connection::giveAllBack()
{
    Clock::time_point last;
    for (const Slot &slot : slots)
        last = std::max(last, slot.used);
    if (const auto age = Clock::now() - last; age < slotMinAge)
        std::this_thread::sleep_for(slotMinAge - age);
    for (Slot &slot : slots) {
        if (slot.sym != NoSymbol)
            giveBack(slot);
    }
}

// Runs on every poll of the switch keys: one round trip, and a look at the window tree only
// when the focus moved. Acts once per move, so a manager that insists is not fought in a loop.
void X11Connection::keepFocusAway()
{
    if (ownWindows.empty())
        return;
    Window now = None;
    int revert = 0;
    XGetInputFocus(display, &now, &revert);
    if (now == seenFocus)
        return;
    seenFocus = now;
    if (!ownsFocus(now)) {
        // Not one of the program's pop-ups either (an open menu), gone once closed.
        if (now != None && now != PointerRoot && !ofThisProcess(now))
            otherFocus = now;
        return;
    }
    if (otherFocus != None)
        giveFocusTo(otherFocus);
}

// The focus is ours on one of the program's windows, inside one, or on a frame around one (a
// window manager focuses the frame of a window that takes no input).
bool X11Connection::ownsFocus(Window focus)
{
    const Window root = DefaultRootWindow(display);
    if (focus == None || focus == PointerRoot || focus == root)
        return false;
    const auto up = [&](Window w) { return parentOf(display, w); };
    for (Window w = focus; w != None && w != root; w = up(w)) {
        if (std::find(ownWindows.begin(), ownWindows.end(), w) != ownWindows.end())
            return true;
    }
    for (Window own : ownWindows) {
        for (Window w = up(own); w != None && w != root; w = up(w)) {
            if (w == focus)
                return true;
        }
    }
    return false;
}

bool X11Connection::ofThisProcess(Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    const bool ours = XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False),
                                         0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                                         &data)
            == Success
        && data && items == 1 && format == 32
        && *reinterpret_cast<unsigned long *>(data) == unsigned(getpid());
    if (data)
        XFree(data);
    return ours;
}

// Straight to the window, as it had it; a managed one is also activated through the window
// manager (as a pager asks), so that the manager's own idea of the active window follows.
void X11Connection::giveFocusTo(Window window)
{
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    const Window root = DefaultRootWindow(display);
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Window client = window;
    for (int depth = 0; client != None && client != root && depth < 8; ++depth) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        const bool managed = XGetWindowProperty(display, client, wmState, 0, 0, False,
                                                AnyPropertyType, &type, &format, &items, &after,
                                                &data)
                == Success
            && type != None;
        if (data)
            XFree(data);
        if (managed)
            break;
        client = parentOf(display, client);
    }
    if (client != None && client != root) {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = client;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager: the user's own choice
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = long(ownWindows.front());
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    }
    XSync(display, False);
}
