#include "passwordwatch.h"

// run(), which follows the focus, is each system's own.

PasswordWatch::~PasswordWatch()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
}

bool PasswordWatch::focused()
{
    std::call_once(started, [this] { thread = std::thread([this] { run(); }); });
    return password;
}
