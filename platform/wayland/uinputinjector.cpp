#include "uinputinjector.h"

#include "../linux/vkkeysym.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A device made on /dev/uinput; -1 when it cannot be.
int makeDevice(const char *name, uint16_t product, const std::function<bool(int)> &abilities)
{
    const int fd = open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    uinput_setup setup {};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x4b45;
    setup.id.product = product;
    std::strncpy(setup.name, name, UINPUT_MAX_NAME_SIZE - 1);
    if (!abilities(fd) || ioctl(fd, UI_DEV_SETUP, &setup) != 0 || ioctl(fd, UI_DEV_CREATE) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::unique_ptr<UinputInjector> UinputInjector::create(const std::string &keymap)
{
    const int fd = makeDevice(deviceName, 0x4c4f, [](int fd) {
        bool ok = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_REL) == 0
            && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0 && ioctl(fd, UI_SET_RELBIT, REL_X) == 0
            && ioctl(fd, UI_SET_RELBIT, REL_Y) == 0;
        for (int code = 1; ok && code < 256; ++code)
            ok = ioctl(fd, UI_SET_KEYBIT, code) == 0;
        return ok && ioctl(fd, UI_SET_KEYBIT, BTN_LEFT) == 0
            && ioctl(fd, UI_SET_KEYBIT, BTN_RIGHT) == 0;
    });
    if (fd < 0)
        return nullptr;
    // Places go through a device of their own, absolute like a graphics tablet's pen, so the
    // desktop spreads its range over the screens and no pointer acceleration bends them.
    const int pointerFd = makeDevice(pointerName, 0x4c50, [](int fd) {
        bool ok = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_ABS) == 0
            && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0 && ioctl(fd, UI_SET_KEYBIT, BTN_LEFT) == 0
            && ioctl(fd, UI_SET_KEYBIT, BTN_RIGHT) == 0;
        for (const uint16_t axis : { ABS_X, ABS_Y }) {
            uinput_abs_setup abs {};
            abs.code = axis;
            abs.absinfo.maximum = absRange - 1;
            ok = ok && ioctl(fd, UI_SET_ABSBIT, axis) == 0 && ioctl(fd, UI_ABS_SETUP, &abs) == 0;
        }
        return ok;
    });
    auto injector = std::make_unique<UinputInjector>(
        keymap,
        [fd, pointerFd, placing = false](uint16_t type, uint16_t code, int32_t value) mutable {
            input_event event {};
            event.type = type;
            event.code = code;
            event.value = value;
            // A place and the report that ends it go to the absolute device.
            const bool place = type == EV_ABS || (type == EV_SYN && placing);
            placing = type == EV_ABS;
            (void)!write(place && pointerFd >= 0 ? pointerFd : fd, &event, sizeof event);
        });
    injector->fd = fd;
    injector->pointerFd = pointerFd;
    // The desktop needs a moment to take a new device into use before its first event.
    usleep(200000);
    return injector;
}

UinputInjector::UinputInjector(const std::string &keymap, Sink sink)
    : layout(keymap)
    , sink(std::move(sink))
{
}

UinputInjector::~UinputInjector()
{
    // Nothing pressed here may outlive the program.
    for (auto &[vk, c] : heldVks)
        chord(c, false);
    for (auto &[cp, c] : heldChars)
        chord(c, false);
    for (const int device : { fd, pointerFd }) {
        if (device >= 0) {
            ioctl(device, UI_DEV_DESTROY);
            close(device);
        }
    }
}

void UinputInjector::key(uint32_t code, bool press)
{
    sink(EV_KEY, uint16_t(code), press ? 1 : 0);
    sink(EV_SYN, SYN_REPORT, 0);
}

// The modifiers go down before the key and up after it.
bool UinputInjector::chord(const LayoutKeys::Chord &c, bool press)
{
    if (!c.key)
        return false;
    if (press) {
        for (uint32_t mod : c.mods)
            key(mod, true);
        key(c.key, true);
    } else {
        key(c.key, false);
        for (auto mod = c.mods.rbegin(); mod != c.mods.rend(); ++mod)
            key(*mod, false);
    }
    return true;
}

// A virtual key is the layout's key for its keysym, without the modifiers that keysym may
// need: Ctrl+1 on a French layout is Ctrl and the 1 key, as the application expects.
void UinputInjector::vkEvent(int vk, bool release)
{
    vk &= 0xff;
    if (const auto it = heldVks.find(vk); it != heldVks.end()) {
        chord(it->second, false);
        heldVks.erase(it);
        if (release)
            return;
    } else if (release) {
        return;
    }
    LayoutKeys::Chord c = layout.chordFor(vkKeysym(vk));
    // Keys that are not on the layout's base level (digits on a French one) keep their place.
    c.mods.clear();
    if (chord(c, true))
        heldVks[vk] = c;
}

// The virtual key of the character's key, with Shift in bit 8; -1 when the character needs
// another modifier (AltGr) or its key has no virtual-key code.
int UinputInjector::keyForChar(char16_t c)
{
    const LayoutKeys::Chord chord = layout.chordFor(keysymOfChar(c));
    const uint32_t shift = layout.chordFor(XKB_KEY_Shift_L).key;
    const bool shifted = chord.mods.size() == 1 && chord.mods[0] == shift;
    if (!chord.key || (!chord.mods.empty() && !shifted))
        return -1;
    for (int vk = 1; vk < 256; ++vk) {
        const LayoutKeys::Chord of = layout.chordFor(vkKeysym(vk));
        if (of.key == chord.key && of.mods.empty())
            return vk | (shifted ? 0x100 : 0);
    }
    return -1;
}

bool UinputInjector::charEvent(char32_t cp, bool release)
{
    const auto it = heldChars.find(cp);
    if (release) {
        if (it != heldChars.end()) {
            chord(it->second, false);
            heldChars.erase(it);
        }
        return true;
    }
    if (it != heldChars.end()) {
        chord(it->second, false);
        heldChars.erase(it);
    }
    const LayoutKeys::Chord c = layout.chordFor(keysymOfChar(cp));
    if (chord(c, true)) {
        heldChars[cp] = c;
        return true;
    }
    if (keysymOfChar(cp) == 0)
        return false;
    // Ctrl+Shift+U, the code in hexadecimal, a space: whole on the press.
    LayoutKeys::Chord start = layout.chordFor(XKB_KEY_u);
    const uint32_t control = layout.chordFor(XKB_KEY_Control_L).key;
    const uint32_t shift = layout.chordFor(XKB_KEY_Shift_L).key;
    if (!start.key || !control || !shift)
        return false;
    start.mods = { control, shift };
    std::vector<LayoutKeys::Chord> digits;
    for (const uint32_t keysym : unicodeEntryKeysyms(cp))
        digits.push_back(layout.chordFor(keysym));
    for (const auto &d : digits) {
        if (!d.key)
            return false;
    }
    chord(start, true);
    chord(start, false);
    for (const auto &d : digits) {
        chord(d, true);
        chord(d, false);
    }
    return true;
}

void UinputInjector::button(bool right, bool release)
{
    key(right ? BTN_RIGHT : BTN_LEFT, !release);
}

void UinputInjector::moveBy(int dx, int dy)
{
    if (dx)
        sink(EV_REL, REL_X, dx);
    if (dy)
        sink(EV_REL, REL_Y, dy);
    sink(EV_SYN, SYN_REPORT, 0);
}

// The middle of the pixel, in the absolute device's range laid over the box: the desktop
// scales a value v to v * width / range.
void UinputInjector::moveTo(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height)
        return;
    sink(EV_ABS, ABS_X, int32_t((2 * int64_t(x) + 1) * absRange / (2 * int64_t(width))));
    sink(EV_ABS, ABS_Y, int32_t((2 * int64_t(y) + 1) * absRange / (2 * int64_t(height))));
    sink(EV_SYN, SYN_REPORT, 0);
}

void UinputInjector::setLayoutGroup(unsigned group)
{
    layout.setGroup(group);
}
