#pragma once

#include "injector.h"
#include "layoutkeys.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Every other compositor: kernel input devices, a keyboard with a relative pointer, and an
// absolute pointer for places. A kernel device cannot bring a keymap: keys are those of the
// user's active layout, and a character the layout has no key for is typed as Ctrl+Shift+U, its
// hexadecimal code and a space, which GTK programs and the IBus input method understand.
class UinputInjector : public Injector
{
public:
    static constexpr const char *deviceName = "Kelo# virtual keyboard";
    static constexpr const char *pointerName = "Kelo# virtual pointer";
    // The absolute device's values run from 0 to this less one on both axes.
    static constexpr int32_t absRange = 65536;
    // One input event (type, code, value), as written to the device.
    using Sink = std::function<void(uint16_t, uint16_t, int32_t)>;

    // Opens /dev/uinput; nullptr when it cannot be opened or the device not made.
    static std::unique_ptr<UinputInjector> create(const std::string &keymap);
    // For a device made elsewhere, and for tests.
    UinputInjector(const std::string &keymap, Sink sink);
    ~UinputInjector() override;

    void vkEvent(int vk, bool release) override;
    int keyForChar(char16_t c) override;
    bool charEvent(char32_t cp, bool release) override;
    void button(bool right, bool release) override;
    void moveBy(int dx, int dy) override;
    void moveTo(int x, int y, int width, int height) override;
    void setLayoutGroup(unsigned group) override;

private:
    void key(uint32_t code, bool press);
    bool chord(const LayoutKeys::Chord &c, bool press);

    LayoutKeys layout;
    Sink sink;
    int fd = -1, pointerFd = -1;
    std::map<int, LayoutKeys::Chord> heldVks;
    std::map<char32_t, LayoutKeys::Chord> heldChars;
};
