#pragma once

#include "platform.h"

#include <map>
#include <string>
#include <vector>

// Writes down every request instead of acting on it, for tests of the logic above the seam.
class RecordingPlatform : public Platform
{
public:
    RecordingPlatform();

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
    void keepUnfocused(std::uintptr_t window) override;
    void addSignInLaunch(const std::string &name, const std::string &path) override;
    void removeSignInLaunch(const std::string &name) override;
    std::string signInLaunch(const std::string &name) override;
    bool passwordFocused() override { return password; }

    // What the recorded events leave pressed, in the words of events without the direction:
    // "key 16", "uni 0061", "left". Empty when every press was released.
    std::vector<std::string> held() const;

    // Events as short words: "key 17 down", "uni 0061 up", "left down", "move 10,20".
    std::vector<std::string> events;
    // The layout answered by keyForChar; starts as a US layout for letters and digits.
    std::map<char16_t, int> layout;
    // Where the pointer is.
    int pointerX = 0, pointerY = 0;
    // The value the next escapeState calls return.
    int escape = 0;
    bool escapeGrab = false;
    // What the next caretMayHaveMoved call returns; it then reads false.
    bool caretMoved = false;
    // The chosen switch key, and the value the next switchKeyState calls return.
    std::string switchKeyName;
    bool switchKeyGrab = false;
    int switchKey = 0;
    std::map<std::string, std::string> signIn;
    // What passwordFocused answers.
    bool password = false;
};
