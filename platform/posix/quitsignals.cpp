#include "../quitsignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {

int ends[2] = { -1, -1 };

void onSignal(int number)
{
    // Only async-signal-safe calls here. A full pipe already holds a quit. The same signal
    // again ends the program at once, should the orderly quit ever hang.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(ends[1], &byte, 1);
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigaction(number, &fallback, nullptr);
    errno = saved;
}

} // namespace

int QuitSignals::install()
{
    if (ends[0] >= 0)
        return ends[0];
    if (pipe(ends) != 0) {
        ends[0] = ends[1] = -1;
        return -1;
    }
    for (int end : ends) {
        fcntl(end, F_SETFD, FD_CLOEXEC);
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : { SIGTERM, SIGINT, SIGHUP }) {
        struct sigaction old = {};
        if (sigaction(number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
    return ends[0];
}

void QuitSignals::drain()
{
    char buffer[64];
    while (ends[0] >= 0 && read(ends[0], buffer, sizeof buffer) > 0) { }
}
