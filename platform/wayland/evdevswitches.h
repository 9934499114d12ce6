#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

struct libevdev;

// The switch keys read from the keyboards' event devices the user may read (the `input`
// group), whichever client has the focus. Read-only: the devices are never grabbed. Keyboards
// plugged in later are found within a few seconds.
class EvdevSwitches
{
public:
    explicit EvdevSwitches(std::string ownDevice);
    ~EvdevSwitches();
    EvdevSwitches(const EvdevSwitches &) = delete;
    EvdevSwitches &operator=(const EvdevSwitches &) = delete;

    // As Platform::escapeState for the key with this evdev code (KEY_ESC is 1).
    int state(unsigned code);
    // The evdev code of a key by its keysym name in the given XKB keymap (the compositor's;
    // a US one when empty); 0 when none has it.
    static unsigned codeOf(const std::string &name, const std::string &keymap);

    // Readable when a keyboard has events; pending() reads them and says whether a key asked
    // for by state() went down or up.
    int eventFd() const { return watch; }
    bool pending();

    int keyboards() const { return int(devices.size()); }
    // Keyboards seen but not readable by this user.
    int refused() const { return denied; }

private:
    struct Device
    {
        std::string path;
        int fd = -1;
        libevdev *dev = nullptr;
    };
    void rescan();
    void read(Device &device);
    void readAll();

    std::string own;
    std::vector<Device> devices;
    std::map<unsigned, int> edges; // since the last state() of that key: 1 down, 2 up
    int denied = 0;
    int watch = -1; // epoll over the devices
    bool moved = false;
    std::chrono::steady_clock::time_point scanned;
};
