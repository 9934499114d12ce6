#pragma once

#include "../platform.h"

// Windows: user32 injection, the asynchronous key state and the per-user Run key.
class Win32Platform : public Platform
{
public:
    void keyEvent(int vk, bool release) override;
    void unicodeEvent(char16_t unit, bool release) override;
    int keyForChar(char16_t c) override;
    void pointerButton(Button button, bool release) override;
    int escapeState() override;
    void addSignInLaunch(const std::string &name, const std::string &path) override;
    void removeSignInLaunch(const std::string &name) override;
    std::string signInLaunch(const std::string &name) override;
};
