#include "platform.h"

#include "heldkeys.h"

#include <atomic>

namespace {
std::atomic<Platform *> replacement { nullptr };
} // namespace

Platform &Platform::system()
{
    Platform *p = replacement.load();
    return p ? *p : held();
}

void Platform::replaceSystem(Platform *p)
{
    replacement.store(p);
}

std::string Platform::keepHeldRecord(const std::string &path)
{
    return held().keep(path);
}

HeldKeys &Platform::held()
{
    static HeldKeys recorded(native());
    return recorded;
}
