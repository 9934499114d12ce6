#pragma once

#include "../passwordwatch.h"
#include "../platform.h"

struct X11Connection;

// X11: XTest for injection, XInput2 raw events for the global Escape and switch-key states,
// and a passive grab on the root window for a switch key no application may see. The sign-in
// launch is the desktop's autostart entry, which has nothing to do with X.
class X11Platform : public Platform
{
public:
    X11Platform();
    ~X11Platform() override;
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
    void switchStates(int *escape, int *key) override;
    bool grabbedKeyHeld() override;
    std::string keyDown() override;
    void holdKeyboard(bool on) override;
    int switchEventFd() override;
    bool switchEventsPending() override;
    void keepUnfocused(std::uintptr_t window) override;
    void addSignInLaunch(const std::string &name, const std::string &path) override;
    void removeSignInLaunch(const std::string &name) override;
    std::string signInLaunch(const std::string &name) override;
    bool passwordFocused() override { return passwords.focused(); }

private:
    X11Connection *d;
    PasswordWatch passwords;
};
