#pragma once

#include "../platform.h"

// X11: XTest for injection, XInput2 raw events for the global Escape state, and an XDG
// autostart entry for the sign-in launch.
class X11Platform : public Platform
{
public:
    X11Platform();
    ~X11Platform() override;

    void keyEvent(int vk, bool release) override;
    void unicodeEvent(char16_t unit, bool release) override;
    int keyForChar(char16_t c) override;
    void pointerButton(Button button, bool release) override;
    int escapeState() override;
    void addSignInLaunch(const std::string &name, const std::string &path) override;
    void removeSignInLaunch(const std::string &name) override;
    std::string signInLaunch(const std::string &name) override;

    // Where the autostart entry for name lives ($XDG_CONFIG_HOME or ~/.config).
    static std::string autostartFile(const std::string &name);

private:
    struct Private;
    Private *d;
};
