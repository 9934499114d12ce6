#pragma once

#include "../passwordwatch.h"
#include "../platform.h"

#include <memory>
#include <mutex>

class Injector;
class WaylandSession;
class X11Platform;
class EvdevSwitches;
class ActiveLayout;

// A Wayland session: typing and pointing through the compositor's virtual devices where it
// has them (wlroots; KWin's fake input where KWin grants it; GNOME Shell with Kelo#'s
// extension), else through kernel uinput devices; the switch keys from the keyboards'
// event devices and, while an X client has the focus, from XWayland. The window itself is an
// X client. Pointer positions are the program's own reckoning: a compositor tells no client
// where the pointer is outside its own surfaces.
class WaylandPlatform : public Platform
{
public:
    // Nullptr when no compositor answers.
    static std::unique_ptr<WaylandPlatform> create();
    ~WaylandPlatform() override;
    void releaseAll() override;

    void keyEvent(int vk, bool release) override;
    void unicodeEvent(char16_t unit, bool release) override;
    int keyForChar(char16_t c) override;
    void pointerButton(Button button, bool release) override;
    void pointerMoveBy(int dx, int dy) override;
    void pointerMoveTo(int x, int y) override;
    bool pointerPosition(int *x, int *y) override;
    int escapeState() override;
    void setEscapeGrab(bool grab) override;
    bool caretMayHaveMoved() override;
    bool setSwitchKey(const std::string &name, bool grab) override;
    int switchKeyState() override;
    int switchEventFd() override;
    bool switchEventsPending() override;
    void addSignInLaunch(const std::string &name, const std::string &path) override;
    void removeSignInLaunch(const std::string &name) override;
    std::string signInLaunch(const std::string &name) override;
    void keepUnfocused(std::uintptr_t window) override;
    bool unmanagedWindows() override;
    std::string problem() override;
    bool passwordFocused() override { return passwords.focused(); }
    std::string setupCommand() override;
    bool canType() override;
    bool switchKeysReadable() override;

    // Which way keys and motion go: "wlroots", "kde", "gnome", "uinput" or "none".
    std::string injection() const { return way; }

private:
    WaylandPlatform() = default;
    void guessPointer();
    void followLayout();

    std::mutex mutex;
    std::unique_ptr<WaylandSession> session;
    std::unique_ptr<Injector> injector;
    std::unique_ptr<X11Platform> x11;
    std::unique_ptr<EvdevSwitches> evdev;
    PasswordWatch passwords;
    std::unique_ptr<ActiveLayout> activeLayout;
    std::string way = "none";
    std::string why;
    std::string enable; // the command that turns on what would serve better here
    char16_t highSurrogate = 0;
    bool placed = false;
    unsigned switchCode = 0;
    int pointerX = 0, pointerY = 0;
    int watch = -1; // epoll over the event devices and the X connection
};
