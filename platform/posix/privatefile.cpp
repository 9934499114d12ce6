#include "../privatefile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the folder and any missing parent; only the last one is the program's own.
bool makeFolder(const std::string &folder)
{
    struct stat st
    {
    };
    if (lstat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (folder != folderOf(folder) && !makeFolder(folderOf(folder)))
        return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

void PrivateFile::restrictNewFiles()
{
    umask(077);
}

bool PrivateFile::isLink(const std::string &path)
{
    struct stat st
    {
    };
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void PrivateFile::restrict(const std::string &path)
{
    struct stat st
    {
    };
    // Only what the user owns; a folder shared on purpose is not this program's to close.
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid())
        chmod(path.c_str(), st.st_mode & 0700);
    const std::string folder = folderOf(path);
    if (lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid())
        chmod(folder.c_str(), st.st_mode & 0700);
}

bool PrivateFile::write(const std::string &path, const std::string &bytes, std::string *why)
{
    if (isLink(path)) {
        *why = "it is a symbolic link";
        return false;
    }
    const std::string folder = folderOf(path);
    if (!makeFolder(folder)) {
        *why = "its folder cannot be made";
        return false;
    }
    restrict(path);
    // A stale or planted ".new" is removed, never opened: O_EXCL and O_NOFOLLOW make a new file.
    const std::string temporary = path + ".new";
    unlink(temporary.c_str());
    const int fd
        = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? size_t(n) : 0;
    }
    const int error = ok ? 0 : errno;
    if (fd >= 0 && close(fd) != 0 && ok)
        ok = false;
    // rename replaces a link at path rather than writing through it.
    if (ok && rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    *why = std::strerror(error ? error : errno);
    if (fd >= 0)
        unlink(temporary.c_str());
    return false;
}
