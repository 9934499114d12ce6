#include "autostart.h"

#include "../privatefile.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// A string value as desktop entries store it: backslash and control characters escaped.
std::string escapeValue(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeValue(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += s[i];
        }
    }
    return out;
}

// The program as one Exec argument: in double quotes, with ", `, $ and \ escaped by a
// backslash inside them, and % doubled so that it is no field code. The value escaping
// comes on top, which makes a literal backslash four.
std::string execValue(const std::string &path)
{
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    return escapeValue(quoted + '"');
}

std::string programOf(const std::string &exec)
{
    const std::string value = unescapeValue(exec);
    std::string out;
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    const size_t end = quoted ? value.size() - 1 : value.size();
    for (size_t i = quoted ? 1 : 0; i < end; ++i) {
        if (quoted && value[i] == '\\' && i + 1 < end)
            ++i;
        else if (value[i] == '%' && i + 1 < end && value[i + 1] == '%')
            ++i;
        out += value[i];
    }
    return out;
}

} // namespace

std::string Autostart::file(const std::string &name)
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

void Autostart::add(const std::string &name, const std::string &path)
{
    const std::string entry = file(name);
    if (entry.empty())
        return;
    // Beside and renamed, never through a link: a crash never leaves half an entry, and a
    // planted "kelo.desktop.new" link is replaced, not written through.
    std::string why;
    PrivateFile::write(entry,
                       "[Desktop Entry]\nType=Application\nName=" + escapeValue(name)
                           + "\nExec=" + execValue(path) + "\nX-GNOME-Autostart-enabled=true\n",
                       &why);
}

void Autostart::remove(const std::string &name)
{
    const std::string entry = file(name);
    std::error_code error;
    if (!entry.empty())
        std::filesystem::remove(entry, error);
}

std::string Autostart::path(const std::string &name)
{
    std::ifstream in(file(name));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Exec=", 0) == 0)
            return programOf(line.substr(5));
    }
    return {};
}
