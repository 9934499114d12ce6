#pragma once

#include <atomic>
#include <mutex>
#include <thread>

// Follows the keyboard focus through the system's accessibility interface (AT-SPI over D-Bus on
// Linux, UI Automation on Windows), on a thread of its own so that a slow or silent application
// never holds up the switch, and tells whether the focused control is a password field.
class PasswordWatch
{
public:
    PasswordWatch() = default;
    ~PasswordWatch();
    PasswordWatch(const PasswordWatch &) = delete;
    PasswordWatch &operator=(const PasswordWatch &) = delete;

    // True while a password field has the focus. The watch starts at the first call; where the
    // accessibility interface does not answer it says so once on stderr and this stays false.
    bool focused();

private:
    void run();

    std::once_flag started;
    std::atomic<bool> password { false };
    std::atomic<bool> stopping { false };
    std::thread thread;
};
