#pragma once

#include "injector.h"
#include "layoutkeys.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>

struct _GDBusConnection;
struct _GVariant;
class WaylandSession;

// GNOME Shell: Kelo#'s own extension, reached over the session bus, types with the compositor's
// virtual keyboard (by keysym, in whatever layout is active, as GNOME's on-screen keyboard does)
// and points with its virtual pointer; it also keeps Kelo#'s windows above every other window
// and away from the keyboard focus. A character the active layout lacks, whose keysym the shell
// would drop, goes as GTK's and IBus's Unicode entry, as through KWin and uinput. Whatever is held
// down here goes up when the connection closes, the extension seeing to it should the program end
// without this object's destructor.
class GnomeInjector : public Injector
{
public:
    static constexpr const char *uuid = "kelo@kelo.tarvo.example";

    // Nullptr unless the extension answers on the session bus. The session gives the layouts.
    static std::unique_ptr<GnomeInjector> create(WaylandSession &session);
    // The command that turns the extension on, when GNOME Shell runs and has it but it is not
    // on; empty otherwise.
    static std::string enableCommand();
    ~GnomeInjector() override;

    void vkEvent(int vk, bool release) override;
    int keyForChar(char16_t c) override;
    bool charEvent(char32_t cp, bool release) override;
    void setLayoutGroup(unsigned group) override;
    void button(bool right, bool release) override;
    void moveBy(int dx, int dy) override;
    void moveTo(int x, int y, int width, int height) override;
    bool position(int *x, int *y) override;

    // False once a call went unanswered: the shell restarted or the extension was turned off.
    bool answering() const { return answers; }

private:
    GnomeInjector(_GDBusConnection *bus, WaylandSession &session);
    // The method's reply (to be unreffed), nullptr when it failed; a failure is told on stderr
    // unless quiet.
    _GVariant *call(const char *method, _GVariant *args, bool quiet = false);
    // A call whose answer is not waited for.
    void send(const char *method, _GVariant *args);
    bool key(uint32_t keysym, bool press);
    void revive();
    // True only when the compositor's keymap is known and its active layout has no key for it.
    bool lacks(uint32_t keysym);
    bool unicodeEntry(char32_t cp);

    _GDBusConnection *bus;
    WaylandSession &session;
    std::string keymap; // the one layout was made from
    std::unique_ptr<LayoutKeys> layout;
    unsigned group = 0;
    bool answers = true;
    std::map<int, uint32_t> boundVks; // spare virtual-key codes: the keysym each stands for
    size_t nextSpare = 0;
    std::map<int, uint32_t> heldVks;
    std::map<char32_t, uint32_t> heldChars;
    std::chrono::steady_clock::time_point asked; // when the shell last told the pointer's place
    int lastX = 0, lastY = 0;
    std::chrono::steady_clock::time_point lastRevival;
};
