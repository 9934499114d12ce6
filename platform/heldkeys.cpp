#include "heldkeys.h"

#include "privatefile.h"

#include <cstdio>
#include <fstream>

namespace {
constexpr int left = -1, right = -2;
}

std::string HeldKeys::keep(const std::string &path)
{
    std::lock_guard lock(mutex);
    std::string released;
    std::ifstream in(path);
    // A few entries at most; anything else in the file is not ours to act on.
    std::string kind;
    int code = 0;
    for (int n = 0; n < 64 && in >> kind >> code; ++n) {
        if (kind == "button" && (code == 1 || code == 3)) {
            system.pointerButton(code == 1 ? Button::Left : Button::Right, true);
            released += code == 1 ? " left button," : " right button,";
        } else if (kind == "key" && code > 0 && code < 256) {
            system.keyEvent(code, true);
            released += " key " + std::to_string(code) + ',';
        }
    }
    in.close();
    std::remove(path.c_str());
    recordPath = path;
    if (!held.empty())
        write();
    if (!released.empty())
        released.pop_back();
    return released;
}

void HeldKeys::write()
{
    if (recordPath.empty())
        return;
    if (held.empty()) {
        std::remove(recordPath.c_str());
        return;
    }
    std::string record;
    for (int code : held) {
        record += code < 0 ? "button " + std::to_string(code == left ? 1 : 3)
                           : "key " + std::to_string(code);
        record += '\n';
    }
    std::string why;
    PrivateFile::write(recordPath, record, &why);
}

void HeldKeys::keyEvent(int vk, bool release)
{
    // Recorded before a press and after a release: the record never misses a key that is down.
    std::lock_guard lock(mutex);
    vk &= 0xff;
    if (!release && held.insert(vk).second)
        write();
    system.keyEvent(vk, release);
    if (release && held.erase(vk))
        write();
}

void HeldKeys::pointerButton(Button button, bool release)
{
    std::lock_guard lock(mutex);
    const int code = button == Button::Left ? left : right;
    if (!release && held.insert(code).second)
        write();
    system.pointerButton(button, release);
    if (release && held.erase(code))
        write();
}

void HeldKeys::releaseAll()
{
    system.releaseAll();
    std::lock_guard lock(mutex);
    held.clear();
    write();
}
