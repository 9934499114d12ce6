#pragma once

#include <cstdint>

// What the Wayland side types and points with: one of the compositor's virtual devices or a
// kernel device. Keys pressed here are released by the injector that pressed them, at the
// latest when it goes.
class Injector
{
public:
    virtual ~Injector() = default;

    // As Platform::keyEvent and keyForChar.
    virtual void vkEvent(int vk, bool release) = 0;
    virtual int keyForChar(char16_t c) = 0;
    // A whole character, typed whatever the layout; false when it cannot be typed.
    virtual bool charEvent(char32_t cp, bool release) = 0;
    virtual void button(bool right, bool release) = 0;
    // Motion in the desktop's logical pixels; absolute places are within the box the outputs
    // cover (width and height), counted from its top left corner.
    virtual void moveBy(int dx, int dy) = 0;
    virtual void moveTo(int x, int y, int width, int height) = 0;
    // The layout of the keymap's list that the desktop has active, for an injector whose keys
    // the desktop reads through that layout.
    virtual void setLayoutGroup(unsigned) { }
    // Where the pointer really is, where the compositor tells; false elsewhere.
    virtual bool position(int *x, int *y)
    {
        (void)x;
        (void)y;
        return false;
    }
};
