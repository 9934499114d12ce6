#include "../privatefile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

// The user's profile folders are closed to other users by their inherited ACLs; no mode to set.
namespace fs = std::filesystem;

namespace {
fs::path pathOf(const std::string &utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
} // namespace

void PrivateFile::restrictNewFiles() { }

bool PrivateFile::isLink(const std::string &path)
{
    std::error_code error;
    return fs::is_symlink(pathOf(path), error);
}

void PrivateFile::restrict(const std::string &) { }

bool PrivateFile::write(const std::string &path, const std::string &bytes, std::string *why)
{
    if (isLink(path)) {
        *why = "it is a symbolic link";
        return false;
    }
    const fs::path target = pathOf(path);
    fs::path temporary = target;
    temporary += ".new";
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    fs::remove(temporary, error);
    bool ok;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        ok = bool(out.write(bytes.data(), std::streamsize(bytes.size())).flush());
    }
    if (ok) {
        fs::rename(temporary, target, error);
        ok = !error;
    }
    if (ok)
        return true;
    *why = error ? error.message() : "it cannot be written";
    fs::remove(temporary, error);
    return false;
}
