#include "qjoystick.h"

#include "platform.h"

#include <QSocketNotifier>

#include <SDL.h>

QJoystick::QJoystick(Platform *platform)
    : platform(platform ? *platform : Platform::system())
{
    // Kelo# is almost never the focused window, yet its switch must work.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Otherwise SDL turns Ctrl+C and SIGTERM into events that nobody reads, and the program
    // no longer ends when asked to.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_Init(SDL_INIT_JOYSTICK);
    if (const int fd = this->platform.switchEventFd(); fd >= 0) {
        auto *watch = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [this] {
            if (this->platform.switchEventsPending())
                emit keyMoved();
        });
    }
    pump();
    if (SDL_NumJoysticks() > 0)
        joy = SDL_JoystickOpen(0);
}

// Lets SDL notice arrivals and removals and refresh its button states. SDL leaves joysticks
// out of its pump when its hints say so, hence the explicit update. The events themselves are
// of no use here; they are dropped in one go, since reading them until none is left need not
// end while a device keeps sending.
void QJoystick::pump()
{
    SDL_PumpEvents();
    SDL_JoystickUpdate();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

int QJoystick::availableJoysticks()
{
    pump();
    fresh = true;
    return SDL_NumJoysticks();
}

int QJoystick::currentJoystick()
{
    pump();
    return find();
}

int QJoystick::find() const
{
    if (!joy)
        return -1;
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) {
        // Device identity, not the name: two pads of one model must not match each other.
        if (SDL_JoystickGetDeviceInstanceID(i) == SDL_JoystickInstanceID(joy)
            && SDL_JoystickGetAttached(joy))
            return i;
    }
    return -1;
}

QString QJoystick::joystickName(int index)
{
    const char *name = SDL_JoystickNameForIndex(index);
    return name ? QString::fromUtf8(name) : QString();
}

int QJoystick::joystickNumButtons()
{
    return SDL_JoystickNumButtons(joy);
}

// Pumps only when the tick has not yet: once a tick is enough.
int QJoystick::getdata()
{
    if (!fresh)
        pump();
    fresh = false;
    stepLevel = false;
    if (find() == -1)
        return 0;
    const int buttons = SDL_JoystickNumButtons(joy);
    int pick = 0;
    for (int b = 0; b < buttons; ++b) {
        if (!SDL_JoystickGetButton(joy, b))
            continue;
        if (b == stepChosen)
            stepLevel = true;
        else
            pick = 1;
    }
    return pick;
}

int QJoystick::buttonDown()
{
    pump();
    if (find() == -1)
        return -1;
    const int buttons = SDL_JoystickNumButtons(joy);
    for (int b = 0; b < buttons; ++b) {
        if (SDL_JoystickGetButton(joy, b))
            return b;
    }
    return -1;
}

int QJoystick::escape()
{
    return platform.escapeState() == 0 ? 1 : 0;
}

bool QJoystick::setSwitchKey(const QString &name, bool grab)
{
    return platform.setSwitchKey(name.trimmed().toStdString(), grab);
}

void QJoystick::setEscapeGrab(bool grab)
{
    platform.setEscapeGrab(grab);
}

void QJoystick::keyStates(int *escape, int *key)
{
    platform.switchStates(escape, key);
}

int QJoystick::switchKey()
{
    return platform.switchKeyState() == 0 ? 1 : 0;
}

void QJoystick::stop()
{
    pump();
    if (joy)
        SDL_JoystickClose(joy);
    joy = nullptr;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void QJoystick::setJoystick(int index)
{
    if (index < 0 || index >= SDL_NumJoysticks())
        return;
    // Opened before the old one is closed: picking the current device again keeps its handle.
    SDL_Joystick *previous = joy;
    joy = SDL_JoystickOpen(index);
    if (previous)
        SDL_JoystickClose(previous);
}
