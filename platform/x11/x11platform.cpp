#include "x11platform.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

struct X11Platform::Private
{
    Display *display = nullptr;
};

X11Platform::X11Platform()
    : d(new Private)
{
    XInitThreads();
    d->display = XOpenDisplay(nullptr);
}

X11Platform::~X11Platform()
{
    if (d->display)
        XCloseDisplay(d->display);
    delete d;
}

void X11Platform::keyEvent(int, bool) { }

void X11Platform::unicodeEvent(char16_t, bool) { }

int X11Platform::keyForChar(char16_t)
{
    return -1;
}

void X11Platform::pointerButton(Button, bool) { }

int X11Platform::escapeState()
{
    return 0;
}

namespace {

// Desktop entries quote an Exec argument in double quotes, escaping ", `, $ and \ inside.
std::string quoteExec(const std::string &path)
{
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += "\\\\";
        out += c;
    }
    return out + '"';
}

std::string unquoteExec(const std::string &exec)
{
    if (exec.size() < 2 || exec.front() != '"' || exec.back() != '"')
        return exec;
    std::string out;
    for (size_t i = 1; i + 1 < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 2 < exec.size() && exec[i + 1] == '\\') {
            i += 2;
            out += exec[i];
            continue;
        }
        out += exec[i];
    }
    return out;
}

} // namespace

std::string X11Platform::autostartFile(const std::string &name)
{
    std::string dir;
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        dir = config;
    else if (const char *home = std::getenv("HOME"); home && *home)
        dir = std::string(home) + "/.config";
    else
        return {};
    std::string file;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            file += char(std::tolower(static_cast<unsigned char>(c)));
    }
    return dir + "/autostart/" + (file.empty() ? "app" : file) + ".desktop";
}

void X11Platform::addSignInLaunch(const std::string &name, const std::string &path)
{
    const std::string file = autostartFile(name);
    if (file.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    // Write beside and rename, so a crash never leaves half an entry.
    const std::string temporary = file + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << quoteExec(path)
            << "\nX-GNOME-Autostart-enabled=true\n";
        if (!out.flush())
            return;
    }
    std::filesystem::rename(temporary, file, error);
}

void X11Platform::removeSignInLaunch(const std::string &name)
{
    const std::string file = autostartFile(name);
    std::error_code error;
    if (!file.empty())
        std::filesystem::remove(file, error);
}

std::string X11Platform::signInLaunch(const std::string &name)
{
    std::ifstream in(autostartFile(name));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Exec=", 0) == 0)
            return unquoteExec(line.substr(5));
    }
    return {};
}

Platform &Platform::native()
{
    static X11Platform platform;
    return platform;
}
