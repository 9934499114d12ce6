#include "../platform.h"
#include "../wayland/waylandplatform.h"
#include "../x11/x11platform.h"

#include <cstdlib>
#include <memory>

namespace {

// Chosen once, at the first use: the Wayland side in a Wayland session whose compositor
// answers, X11 otherwise.
std::unique_ptr<Platform> choose()
{
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland) {
        if (auto platform = WaylandPlatform::create())
            return platform;
    }
    return std::make_unique<X11Platform>();
}

} // namespace

Platform &Platform::native()
{
    static const std::unique_ptr<Platform> platform = choose();
    return *platform;
}
