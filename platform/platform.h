#pragma once

#include <cstdint>
#include <memory>
#include <string>

class HeldKeys;

// The operating-system seam. Everything Kelo# asks of the OS that Qt does not give it goes
// through here, so the logic above stays the same on every system and tests can record it.
// Key values are Windows virtual-key codes on every system.
class Platform
{
public:
    enum class Button { Left, Right };

    virtual ~Platform() = default;

    // One press or release of a virtual key (only the low 8 bits count), no scan code.
    virtual void keyEvent(int vk, bool release) = 0;
    // One press or release of a UTF-16 code unit, typed whatever the keyboard layout.
    virtual void unicodeEvent(char16_t unit, bool release) = 0;
    // The key that types c in the current layout: low byte the key, high byte the shift
    // state (1 Shift, 2 Ctrl, 4 Alt), -1 when the layout has no key for it.
    virtual int keyForChar(char16_t c) = 0;
    // One press or release of a pointer button at the pointer's position.
    virtual void pointerButton(Button button, bool release) = 0;
    // Pointer motion in the system's own pixels, on the whole desktop: by a step from where the
    // pointer is, or to a place. Done before returning, so a button event that follows acts
    // at the new place.
    virtual void pointerMoveBy(int dx, int dy) = 0;
    virtual void pointerMoveTo(int x, int y) = 0;
    // Where the pointer is; false when the system does not say.
    virtual bool pointerPosition(int *x, int *y) = 0;
    // The Escape key seen globally: bit 15 while it is down, bit 0 when it went down since the
    // previous call, bit 1 when it went up since then where the system tells (a release and a
    // new press between two calls are then two presses). All read 0 only when the key is idle
    // and was not tapped meanwhile.
    virtual int escapeState() = 0;
    // With grab, Escape is taken before any application sees it (it is only a switch then);
    // the program's own presses of it still reach the application.
    virtual void setEscapeGrab(bool grab) = 0;
    // True once when, since the previous call, another window took the keyboard focus or a
    // pointer button was pressed anywhere: the caret may no longer be where the program typed.
    virtual bool caretMayHaveMoved() = 0;
    // A second switch key of the user's choice, by its X keysym name ("F8", "Pause", "space");
    // an empty name chooses none. With grab the key is taken before any application sees it;
    // the program's own presses of it still reach the application. False for an unknown name.
    virtual bool setSwitchKey(const std::string &name, bool grab) = 0;
    // The chosen key in the bits of escapeState; 0 while none is chosen.
    virtual int switchKeyState() = 0;
    // escapeState and switchKeyState together, from one request where the system allows it.
    virtual void switchStates(int *escape, int *key)
    {
        *escape = escapeState();
        *key = switchKeyState();
    }
    // A switch key taken from the applications is held down: until it is up the keyboard's
    // events, typed ones too, go to the program that took it, not to the application.
    virtual bool grabbedKeyHeld() { return false; }
    // The name setSwitchKey takes for a key held down now (Escape and the modifiers aside), for
    // choosing the switch key by pressing it; empty while none is down or where this is unknown.
    virtual std::string keyDown() { return {}; }
    // While on, no key press reaches any application: the key pressed to choose the switch key
    // stays the program's. Nothing where the system offers no such hold.
    virtual void holdKeyboard(bool on) { (void)on; }
    // A descriptor that turns readable when Escape or the switch key may have gone down or up,
    // so that the poll can look at once instead of at its next tick; -1 where only the tick
    // looks. switchEventsPending reads what made it readable: true when such a key moved.
    virtual int switchEventFd() { return -1; }
    virtual bool switchEventsPending() { return false; }

    // A top-level window of the program that must never be given the keyboard focus nor be
    // marked as asking for attention when it appears over the application in use; called before
    // it is first shown, with the system's own window handle.
    virtual void keepUnfocused(std::uintptr_t window) = 0;
    // True where the program's top-level windows are best kept out of the window manager's hands
    // (placed by the program itself): a compositor that draws such windows above fullscreen ones
    // and dialogs and gives them no keyboard focus, even on a click, unless they ask for it.
    virtual bool unmanagedWindows() { return false; }

    // The entry that starts a program at the user's sign-in. Paths are UTF-8, given with "/"
    // separators; each system stores them in its own quoting.
    virtual void addSignInLaunch(const std::string &name, const std::string &path) = 0;
    virtual void removeSignInLaunch(const std::string &name) = 0;
    // The program the entry starts, in the system's own spelling; empty when there is none.
    virtual std::string signInLaunch(const std::string &name) = 0;

    // Lets go of every key it holds down and gives back what it borrowed or grabbed, for a
    // program about to end without running its destructors.
    virtual void releaseAll() { }

    // True while the control with the keyboard focus is a password field, as the system's
    // accessibility interface tells it; false where the system does not say. Cheap: no wait.
    virtual bool passwordFocused() { return false; }

    // What keeps typing or pointing from working on this desktop and the command that fixes
    // it, for the user to read; empty when nothing does.
    virtual std::string problem() { return {}; }
    // A command the user may run to make Kelo# work fully on this desktop (such as turning on
    // its desktop extension); empty when there is none.
    virtual std::string setupCommand() { return {}; }
    // False where no way to type or point is open (problem then says why).
    virtual bool canType() { return true; }
    // False where Escape and the switch key cannot be read while an application has the focus
    // (a desktop whose keyboards the user may not read): they are then no switch.
    virtual bool switchKeysReadable() { return true; }

    // The implementation in use: the one for the system this was built for, unless a test has
    // put another in its place.
    static Platform &system();
    // For tests: every later system() call returns replacement (nullptr restores the native one).
    static void replaceSystem(Platform *replacement);
    // Keeps a record of the keys and buttons the system's layer holds down in the file at path
    // (private, in the user's runtime folder), after letting go of what the record of a run that
    // could not clean up (killed, crashed) says it held: what was let go of, empty for nothing.
    static std::string keepHeldRecord(const std::string &path);

private:
    // The system's own implementation, defined once per OS; lives for the whole process.
    static Platform &native();
    // native() with the record of what it holds down.
    static HeldKeys &held();
};
