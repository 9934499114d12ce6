#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

typedef struct _GSettings GSettings;
typedef struct _GDBusConnection GDBusConnection;

// Which layout of the keymap's list the desktop has active, for keys read through it. KDE
// answers on the session bus (its keyboard service); GNOME keeps its input sources in its
// settings, the one in use first among the recently used. Asked again at most every quarter
// second: the person switches layouts far less often than that.
class ActiveLayout
{
public:
    using Sources = std::vector<std::pair<std::string, std::string>>; // (type, name)

    ActiveLayout();
    ~ActiveLayout();
    ActiveLayout(const ActiveLayout &) = delete;
    ActiveLayout &operator=(const ActiveLayout &) = delete;

    // The layout's place in the keymap's list; -1 while no desktop says.
    int group();

    // GNOME's keymap lists its keyboard-layout sources in order: the place of the source in
    // use there; -1 when that is an input method or unknown.
    static int gnomeGroup(const Sources &sources, const Sources &recent);

private:
    int ask();

    GDBusConnection *bus = nullptr;
    GSettings *gnome = nullptr;
    std::chrono::steady_clock::time_point asked;
    int last = -1;
};
