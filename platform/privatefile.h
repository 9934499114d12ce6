#pragma once

#include <string>

// Files of this user's that no one else may read or swap: written whole beside the target in a
// file only the user may read, in a folder only the user may enter, then renamed over it; never
// through a symbolic link. Paths are UTF-8 with "/" separators.
class PrivateFile
{
public:
    // From now on, files and folders the process makes are the user's alone (umask 077).
    static void restrictNewFiles();
    // True when path itself is a symbolic link (dangling or not).
    static bool isLink(const std::string &path);
    // Takes read and write away from others on the file, if there is one, and its folder.
    static void restrict(const std::string &path);
    // Replaces the file with bytes. False, with why, when path is a symbolic link or the write
    // fails; the file is then as it was.
    static bool write(const std::string &path, const std::string &bytes, std::string *why);
};
