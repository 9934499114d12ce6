#include "recordingplatform.h"

#include <utility>

#include <algorithm>
#include <cstdio>

RecordingPlatform::RecordingPlatform()
{
    for (char16_t c = u'a'; c <= u'z'; ++c) {
        layout[c] = 'A' + (c - u'a');
        layout[char16_t(c - 32)] = 0x100 | ('A' + (c - u'a'));
    }
    for (char16_t c = u'0'; c <= u'9'; ++c)
        layout[c] = '0' + (c - u'0');
    layout[u' '] = 0x20;
    layout[u'!'] = 0x100 | '1';
}

void RecordingPlatform::keyEvent(int vk, bool release)
{
    events.push_back("key " + std::to_string(vk & 0xff) + (release ? " up" : " down"));
}

void RecordingPlatform::unicodeEvent(char16_t unit, bool release)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04x", unsigned(unit));
    events.push_back(std::string("uni ") + hex + (release ? " up" : " down"));
}

int RecordingPlatform::keyForChar(char16_t c)
{
    const auto it = layout.find(c);
    return it == layout.end() ? -1 : it->second;
}

void RecordingPlatform::pointerButton(Button button, bool release)
{
    events.push_back(std::string(button == Button::Left ? "left" : "right")
                     + (release ? " up" : " down"));
}

void RecordingPlatform::pointerMoveBy(int dx, int dy)
{
    pointerMoveTo(pointerX + dx, pointerY + dy);
}

void RecordingPlatform::pointerMoveTo(int x, int y)
{
    pointerX = x;
    pointerY = y;
    events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
}

bool RecordingPlatform::pointerPosition(int *x, int *y)
{
    *x = pointerX;
    *y = pointerY;
    return true;
}

int RecordingPlatform::escapeState()
{
    return escape;
}

void RecordingPlatform::setEscapeGrab(bool grab)
{
    escapeGrab = grab;
}

void RecordingPlatform::keepUnfocused(std::uintptr_t window)
{
    events.push_back("unfocused " + std::to_string(window));
}

bool RecordingPlatform::caretMayHaveMoved()
{
    return std::exchange(caretMoved, false);
}

bool RecordingPlatform::setSwitchKey(const std::string &name, bool grab)
{
    switchKeyName = name;
    switchKeyGrab = grab;
    return !name.empty();
}

int RecordingPlatform::switchKeyState()
{
    return switchKeyName.empty() ? 0 : switchKey;
}

void RecordingPlatform::addSignInLaunch(const std::string &name, const std::string &path)
{
    signIn[name] = path;
}

void RecordingPlatform::removeSignInLaunch(const std::string &name)
{
    signIn.erase(name);
}

std::string RecordingPlatform::signInLaunch(const std::string &name)
{
    const auto it = signIn.find(name);
    return it == signIn.end() ? std::string() : it->second;
}

std::vector<std::string> RecordingPlatform::held() const
{
    std::vector<std::string> down;
    for (const std::string &event : events) {
        const size_t space = event.rfind(' ');
        const std::string what = event.substr(0, space);
        const auto it = std::find(down.begin(), down.end(), what);
        if (event.compare(space + 1, std::string::npos, "down") == 0) {
            if (it == down.end())
                down.push_back(what);
        } else if (it != down.end()) {
            down.erase(it);
        }
    }
    return down;
}
