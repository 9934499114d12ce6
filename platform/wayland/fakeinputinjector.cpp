#include "fakeinputinjector.h"

#include "uinputinjector.h"
#include "waylandsession.h"

#include "fake-input-client-protocol.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

std::unique_ptr<FakeInputInjector> FakeInputInjector::create(WaylandSession &session)
{
    if (!session.fakeInput)
        return nullptr;
    // KWin asks for this before it takes events; it drops a program it refuses.
    org_kde_kwin_fake_input_authenticate(session.fakeInput, "Kelo#",
                                         "types and points for a person who uses one switch");
    if (!session.sync())
        return nullptr;
    return std::unique_ptr<FakeInputInjector>(new FakeInputInjector(session));
}

FakeInputInjector::FakeInputInjector(WaylandSession &session)
    : session(session)
{
    keys = std::make_unique<UinputInjector>(
        session.keymap(), [this](uint16_t type, uint16_t code, int32_t value) {
            if (type == EV_KEY)
                org_kde_kwin_fake_input_keyboard_key(this->session.fakeInput, code,
                                                     value ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                           : WL_KEYBOARD_KEY_STATE_RELEASED);
            else if (type == EV_SYN)
                wl_display_flush(this->session.display);
        });
}

FakeInputInjector::~FakeInputInjector()
{
    // Nothing pressed here may outlive the program: the keys go up as their injector goes.
    keys.reset();
    if (!session.lost()) {
        for (const unsigned b : heldButtons)
            org_kde_kwin_fake_input_button(session.fakeInput, b, WL_POINTER_BUTTON_STATE_RELEASED);
    }
    session.sync();
}

void FakeInputInjector::vkEvent(int vk, bool release)
{
    keys->vkEvent(vk, release);
}

int FakeInputInjector::keyForChar(char16_t c)
{
    return keys->keyForChar(c);
}

bool FakeInputInjector::charEvent(char32_t cp, bool release)
{
    return keys->charEvent(cp, release);
}

void FakeInputInjector::setLayoutGroup(unsigned group)
{
    keys->setLayoutGroup(group);
}

void FakeInputInjector::button(bool right, bool release)
{
    const unsigned b = right ? BTN_RIGHT : BTN_LEFT;
    if (release)
        heldButtons.erase(b);
    else
        heldButtons.insert(b);
    org_kde_kwin_fake_input_button(session.fakeInput, b,
                                   release ? WL_POINTER_BUTTON_STATE_RELEASED
                                           : WL_POINTER_BUTTON_STATE_PRESSED);
    session.sync();
}

void FakeInputInjector::moveBy(int dx, int dy)
{
    org_kde_kwin_fake_input_pointer_motion(session.fakeInput, wl_fixed_from_int(dx),
                                           wl_fixed_from_int(dy));
    session.sync();
}

// KWin's places are on the desktop, not within the outputs' box.
void FakeInputInjector::moveTo(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height)
        return;
    const WaylandSession::Box box = session.layout();
    org_kde_kwin_fake_input_pointer_motion_absolute(session.fakeInput, wl_fixed_from_int(box.x + x),
                                                    wl_fixed_from_int(box.y + y));
    session.sync();
}
