#pragma once

#include "../passwordwatch.h"
#include "../platform.h"

// Windows: user32 injection, the asynchronous key state, a low-level keyboard hook for a
// grabbed switch key (and every key while the switch key is chosen), and the per-user Run key.
class Win32Platform : public Platform
{
public:
    ~Win32Platform() override;

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
    std::string keyDown() override;
    void holdKeyboard(bool on) override;
    void keepUnfocused(std::uintptr_t window) override;
    void addSignInLaunch(const std::string &name, const std::string &path) override;
    void removeSignInLaunch(const std::string &name) override;
    std::string signInLaunch(const std::string &name) override;
    bool passwordFocused() override { return passwords.focused(); }

private:
    // Sets or removes the hook as the grabbed keys need it.
    void rehook();

    int switchVk = 0;
    // The window that had the focus at the last caretMayHaveMoved.
    void *foreground = nullptr;
    // The low-level keyboard hook that swallows a grabbed switch key or Escape.
    void *hook = nullptr;
    PasswordWatch passwords;
};
