#include "waylandplatform.h"

#include "../freedesktop/autostart.h"
#include "../x11/x11platform.h"
#include "activelayout.h"
#include "evdevswitches.h"
#include "fakeinputinjector.h"
#include "gnomeinjector.h"
#include "uinputinjector.h"
#include "waylandsession.h"
#include "wlrinjector.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

// What to tell the user when nothing can type: on KDE, the installed program, which KWin lets
// type; elsewhere the one command that gives this user the kernel's input device.
std::string noInjection()
{
    std::string fix;
    const char *desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop && std::strstr(desktop, "KDE"))
        fix = "start the installed Kelo# (/usr/bin/kelo, from the menu): KWin lets only a program "
              "whose desktop file asks for it type";
    else if (access("/dev/uinput", F_OK) != 0)
        fix = "sudo modprobe uinput";
    else if (access("/usr/lib/udev/rules.d/70-kelo-uinput.rules", F_OK) == 0
             || access("/lib/udev/rules.d/70-kelo-uinput.rules", F_OK) == 0)
        fix = "sudo udevadm trigger --name-match=uinput";
    else
        fix = "sudo setfacl -m u:$USER:rw /dev/uinput";
    return "This desktop offers no virtual keyboard to programs and /dev/uinput cannot be "
           "opened: Kelo# cannot type or point. Fix: "
        + fix;
}

} // namespace

std::unique_ptr<WaylandPlatform> WaylandPlatform::create()
{
    auto session = WaylandSession::connect();
    if (!session)
        return nullptr;
    std::unique_ptr<WaylandPlatform> p(new WaylandPlatform);
    p->session = std::move(session);
    if (auto wlr = WlrInjector::create(*p->session)) {
        p->injector = std::move(wlr);
        p->way = "wlroots";
    } else if (p->session->lost()) {
        return nullptr;
    } else if (auto kde = FakeInputInjector::create(*p->session)) {
        p->injector = std::move(kde);
        p->way = "kde";
    } else if (p->session->lost()) {
        return nullptr;
    } else if (auto gnome = GnomeInjector::create(*p->session)) {
        p->injector = std::move(gnome);
        p->way = "gnome";
    } else if (auto uinput = UinputInjector::create(p->session->keymap())) {
        p->injector = std::move(uinput);
        p->way = "uinput";
    } else {
        p->why = noInjection();
        std::fprintf(stderr, "Kelo#: %s\n", p->why.c_str());
    }
    // Keys but those of Kelo#'s own keymap are read through the desktop's active layout.
    if (p->way == "kde" || p->way == "uinput" || p->way == "gnome")
        p->activeLayout = std::make_unique<ActiveLayout>();
    if (p->way != "gnome")
        p->enable = GnomeInjector::enableCommand();
    if (std::getenv("DISPLAY"))
        p->x11 = std::make_unique<X11Platform>();
    p->evdev = std::make_unique<EvdevSwitches>(UinputInjector::deviceName);
    if (p->evdev->keyboards() == 0 && p->evdev->refused() > 0)
        std::fprintf(stderr,
                     "Kelo#: the keyboards cannot be read, so Escape and the switch key "
                     "work only while an X window has the focus. Fix: sudo adduser "
                     "$USER input, then log in again\n");
    return p;
}

WaylandPlatform::~WaylandPlatform()
{
    std::lock_guard lock(mutex);
    injector.reset();
    if (watch >= 0)
        close(watch);
}

// The virtual devices go, and with them every key and button they hold down; XWayland's
// grabs go too.
void WaylandPlatform::releaseAll()
{
    std::lock_guard lock(mutex);
    injector.reset();
    if (x11)
        x11->releaseAll();
}

int WaylandPlatform::switchEventFd()
{
    std::lock_guard lock(mutex);
    if (watch >= 0)
        return watch;
    watch = epoll_create1(EPOLL_CLOEXEC);
    for (const int fd : { evdev->eventFd(), x11 ? x11->switchEventFd() : -1 }) {
        epoll_event ready { EPOLLIN, { .fd = fd } };
        if (fd >= 0 && watch >= 0)
            epoll_ctl(watch, EPOLL_CTL_ADD, fd, &ready);
    }
    return watch;
}

bool WaylandPlatform::switchEventsPending()
{
    std::lock_guard lock(mutex);
    const bool keys = evdev->pending();
    return (x11 && x11->switchEventsPending()) || keys;
}

// Keys read through the user's layout are looked up in the one active as they go down.
void WaylandPlatform::followLayout()
{
    if (injector && activeLayout) {
        if (const int group = activeLayout->group(); group >= 0)
            injector->setLayoutGroup(unsigned(group));
    }
}

void WaylandPlatform::keyEvent(int vk, bool release)
{
    std::lock_guard lock(mutex);
    if (!release)
        followLayout();
    if (injector)
        injector->vkEvent(vk, release);
}

// Surrogate pairs come as two units; the pair is typed as one character when the low unit
// goes down. A lone surrogate types nothing.
void WaylandPlatform::unicodeEvent(char16_t unit, bool release)
{
    std::lock_guard lock(mutex);
    if (!injector)
        return;
    if (unit >= 0xD800 && unit < 0xDC00) {
        if (!release)
            highSurrogate = unit;
        return;
    }
    char32_t cp = unit;
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (!highSurrogate)
            return;
        cp = 0x10000 + ((char32_t(highSurrogate) - 0xD800) << 10) + (unit - 0xDC00);
        if (release)
            highSurrogate = 0;
    } else if (!release) {
        highSurrogate = 0;
    }
    if (!release)
        followLayout();
    injector->charEvent(cp, release);
}

int WaylandPlatform::keyForChar(char16_t c)
{
    std::lock_guard lock(mutex);
    followLayout();
    return injector ? injector->keyForChar(c) : -1;
}

// At the pointer, wherever it is: a click never moves it.
void WaylandPlatform::pointerButton(Button button, bool release)
{
    std::lock_guard lock(mutex);
    if (injector)
        injector->button(button == Button::Right, release);
}

// Where the compositor tells where the pointer is, that is the reckoning. Elsewhere, until the
// program has placed the pointer its reckoning is a guess, the middle of the desktop; the first
// motion puts the pointer where the guess says, so it becomes true.
void WaylandPlatform::guessPointer()
{
    session->pump();
    const WaylandSession::Box box = session->layout();
    if (injector->position(&pointerX, &pointerY)) {
        placed = true;
    } else if (!placed && box.width > 0) {
        pointerX = box.x + box.width / 2;
        pointerY = box.y + box.height / 2;
    }
}

void WaylandPlatform::pointerMoveBy(int dx, int dy)
{
    std::lock_guard lock(mutex);
    if (!injector)
        return;
    guessPointer();
    const WaylandSession::Box box = session->layout();
    if (box.width <= 0)
        return;
    const int x = std::clamp(pointerX + dx, box.x, box.x + box.width - 1);
    const int y = std::clamp(pointerY + dy, box.y, box.y + box.height - 1);
    if (placed)
        injector->moveBy(x - pointerX, y - pointerY);
    else
        injector->moveTo(x - box.x, y - box.y, box.width, box.height);
    placed = true;
    pointerX = x;
    pointerY = y;
}

void WaylandPlatform::pointerMoveTo(int x, int y)
{
    std::lock_guard lock(mutex);
    if (!injector)
        return;
    session->pump();
    const WaylandSession::Box box = session->layout();
    if (box.width <= 0)
        return;
    pointerX = std::clamp(x, box.x, box.x + box.width - 1);
    pointerY = std::clamp(y, box.y, box.y + box.height - 1);
    placed = true;
    injector->moveTo(pointerX - box.x, pointerY - box.y, box.width, box.height);
}

bool WaylandPlatform::pointerPosition(int *x, int *y)
{
    std::lock_guard lock(mutex);
    if (!injector)
        return false;
    guessPointer();
    *x = pointerX;
    *y = pointerY;
    return session->layout().width > 0;
}

int WaylandPlatform::escapeState()
{
    std::lock_guard lock(mutex);
    return evdev->state(KEY_ESC) | (x11 ? x11->escapeState() : 0);
}

// As a grabbed switch key, Escape is taken from X clients only (see below).
void WaylandPlatform::setEscapeGrab(bool grab)
{
    std::lock_guard lock(mutex);
    if (x11)
        x11->setEscapeGrab(grab);
}

// Clicks and the focus are seen only among X clients: a compositor tells no client of either.
bool WaylandPlatform::caretMayHaveMoved()
{
    std::lock_guard lock(mutex);
    return x11 && x11->caretMayHaveMoved();
}

// The event devices are only read, never grabbed: a grab would take the whole keyboard. A
// grabbed key is taken from X clients only.
bool WaylandPlatform::setSwitchKey(const std::string &name, bool grab)
{
    std::lock_guard lock(mutex);
    session->pump();
    switchCode = EvdevSwitches::codeOf(name, session->keymap());
    const bool x = x11 && x11->setSwitchKey(name, grab);
    return switchCode != 0 || x;
}

int WaylandPlatform::switchKeyState()
{
    std::lock_guard lock(mutex);
    return (switchCode ? evdev->state(switchCode) : 0) | (x11 ? x11->switchKeyState() : 0);
}

void WaylandPlatform::addSignInLaunch(const std::string &name, const std::string &path)
{
    Autostart::add(name, path);
}

void WaylandPlatform::removeSignInLaunch(const std::string &name)
{
    Autostart::remove(name);
}

std::string WaylandPlatform::signInLaunch(const std::string &name)
{
    return Autostart::path(name);
}

// The window is an XWayland client.
void WaylandPlatform::keepUnfocused(std::uintptr_t window)
{
    if (x11)
        x11->keepUnfocused(window);
}

std::string WaylandPlatform::setupCommand()
{
    return enable;
}

// sway draws XWayland's unmanaged (override-redirect) windows above everything, fullscreen
// windows and floating dialogs too, and focuses one on a click only if its type asks for input
// (a utility window does not). As a managed window Kelo#'s went behind both, and a click gave it
// the focus. Qt 6.4 has no layer-shell of its own for a native window.
bool WaylandPlatform::unmanagedWindows()
{
    return x11 && std::getenv("SWAYSOCK");
}

bool WaylandPlatform::canType()
{
    std::lock_guard lock(mutex);
    return injector && !session->lost();
}

// Keyboards there but none readable; none at all (a remote or headless seat) leaves nothing to
// say.
bool WaylandPlatform::switchKeysReadable()
{
    std::lock_guard lock(mutex);
    return evdev->keyboards() > 0 || evdev->refused() == 0;
}

std::string WaylandPlatform::problem()
{
    std::lock_guard lock(mutex);
    if (session->lost())
        return "The connection to the Wayland compositor was lost: Kelo# cannot type or point. "
               "Fix: start Kelo# again";
    return why;
}
