#include "platform.h"

#include <atomic>

namespace {
std::atomic<Platform *> replacement { nullptr };
}

Platform &Platform::system()
{
    Platform *p = replacement.load();
    return p ? *p : native();
}

void Platform::replaceSystem(Platform *p)
{
    replacement.store(p);
}
