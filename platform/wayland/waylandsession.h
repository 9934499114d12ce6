#pragma once

#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zxdg_output_manager_v1;
struct org_kde_kwin_fake_input;

// One connection to the Wayland compositor: the globals the injectors need, where the outputs
// lie, and the keymap the compositor gives its clients.
class WaylandSession
{
public:
    struct Box
    {
        int x = 0, y = 0, width = 0, height = 0;
    };
    struct Output;

    // Nullptr when no compositor answers on WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandSession> connect();
    ~WaylandSession();
    WaylandSession(const WaylandSession &) = delete;
    WaylandSession &operator=(const WaylandSession &) = delete;

    // Reads what the compositor sent meanwhile, without waiting.
    void pump();
    // Waits until the compositor has handled every request sent so far; false once the
    // connection is lost.
    bool sync();
    bool lost() const;

    // The box around every output, in logical pixels; empty before the first output.
    Box layout() const;
    // The XKB keymap of the seat's keyboard, as the compositor sends it; empty until it does.
    const std::string &keymap() const { return seatKeymap; }

    wl_display *display = nullptr;
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointers = nullptr;
    org_kde_kwin_fake_input *fakeInput = nullptr; // KWin's, where it grants it to this program

private:
    WaylandSession() = default;
    static void global(void *data, wl_registry *registry, uint32_t name, const char *interface,
                       uint32_t version);
    static void globalRemove(void *data, wl_registry *registry, uint32_t name);
    static const struct wl_seat_listener seatListener;

    wl_registry *registry = nullptr;
    wl_keyboard *keyboard = nullptr;
    zxdg_output_manager_v1 *xdgOutputs = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    std::string seatKeymap;
};
