#pragma once

#include <string>

// The desktop entry in the user's autostart folder ($XDG_CONFIG_HOME/autostart, else
// ~/.config/autostart) that freedesktop sessions start at sign-in. Paths are UTF-8.
class Autostart
{
public:
    static void add(const std::string &name, const std::string &path);
    static void remove(const std::string &name);
    // The program the entry starts, empty when there is none.
    static std::string path(const std::string &name);
    // Where the entry for name lives; empty when neither variable says where.
    static std::string file(const std::string &name);
};
