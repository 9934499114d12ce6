#pragma once

#include "injector.h"

#include <memory>
#include <set>

class WaylandSession;
class UinputInjector;
struct org_kde_kwin_fake_input;

// KDE Plasma: KWin's fake input, which KWin grants to a program whose installed desktop file
// names it (X-KDE-Wayland-Interfaces). Its keys are evdev codes read through the user's own
// layout, as a kernel device's are, so the kernel device's way of finding keys types here too;
// its pointer takes places on the desktop, unaccelerated.
class FakeInputInjector : public Injector
{
public:
    // Nullptr unless KWin offers the interface to this program.
    static std::unique_ptr<FakeInputInjector> create(WaylandSession &session);
    ~FakeInputInjector() override;

    void vkEvent(int vk, bool release) override;
    int keyForChar(char16_t c) override;
    bool charEvent(char32_t cp, bool release) override;
    void button(bool right, bool release) override;
    void moveBy(int dx, int dy) override;
    void moveTo(int x, int y, int width, int height) override;
    void setLayoutGroup(unsigned group) override;

private:
    explicit FakeInputInjector(WaylandSession &session);

    WaylandSession &session;
    std::unique_ptr<UinputInjector> keys;
    std::set<unsigned> heldButtons;
};
