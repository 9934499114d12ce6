#pragma once

#include "platform.h"

#include <mutex>
#include <set>
#include <string>

// The system's layer with a record of the keys and buttons it holds down, kept in a small file
// while any is down, so that the next start can let go of what a killed run held.
class HeldKeys : public Platform
{
public:
    explicit HeldKeys(Platform &system)
        : system(system)
    {
    }

    // Lets go of what the record at path says is held (left by a run that could not clean up)
    // and keeps the record there from now on; what was let go of, for the user, or empty.
    std::string keep(const std::string &path);

    void keyEvent(int vk, bool release) override;
    void pointerButton(Button button, bool release) override;
    void releaseAll() override;

    void unicodeEvent(char16_t unit, bool release) override { system.unicodeEvent(unit, release); }
    int keyForChar(char16_t c) override { return system.keyForChar(c); }
    void pointerMoveBy(int dx, int dy) override { system.pointerMoveBy(dx, dy); }
    void pointerMoveTo(int x, int y) override { system.pointerMoveTo(x, y); }
    bool pointerPosition(int *x, int *y) override { return system.pointerPosition(x, y); }
    int escapeState() override { return system.escapeState(); }
    void setEscapeGrab(bool grab) override { system.setEscapeGrab(grab); }
    bool caretMayHaveMoved() override { return system.caretMayHaveMoved(); }
    bool setSwitchKey(const std::string &name, bool grab) override
    {
        return system.setSwitchKey(name, grab);
    }
    int switchKeyState() override { return system.switchKeyState(); }
    void switchStates(int *escape, int *key) override { system.switchStates(escape, key); }
    bool grabbedKeyHeld() override { return system.grabbedKeyHeld(); }
    void holdKeyboard(bool on) override { system.holdKeyboard(on); }
    std::string keyDown() override { return system.keyDown(); }
    int switchEventFd() override { return system.switchEventFd(); }
    bool switchEventsPending() override { return system.switchEventsPending(); }
    void keepUnfocused(std::uintptr_t window) override { system.keepUnfocused(window); }
    bool unmanagedWindows() override { return system.unmanagedWindows(); }
    void addSignInLaunch(const std::string &name, const std::string &path) override
    {
        system.addSignInLaunch(name, path);
    }
    void removeSignInLaunch(const std::string &name) override { system.removeSignInLaunch(name); }
    std::string signInLaunch(const std::string &name) override { return system.signInLaunch(name); }
    std::string problem() override { return system.problem(); }
    bool passwordFocused() override { return system.passwordFocused(); }
    bool canType() override { return system.canType(); }
    bool switchKeysReadable() override { return system.switchKeysReadable(); }

private:
    void write(); // with mutex held

    Platform &system;
    std::mutex mutex;
    std::string recordPath; // none kept while empty
    std::set<int> held; // virtual keys; buttons as -1 (left) and -2 (right)
};
