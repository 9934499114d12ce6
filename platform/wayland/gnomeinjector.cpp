#include "gnomeinjector.h"

#include "../linux/vkkeysym.h"
#include "waylandsession.h"

#include <gio/gio.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *shellName = "org.gnome.Shell";
constexpr const char *objectPath = "/example/tarvo/kelo/Shell";
constexpr const char *interfaceName = "example.tarvo.kelo.Shell";
// A shell that does not answer within this is taken as gone: a switch user's next choice must
// not wait on it for GDBus's default 25 s.
constexpr int timeoutMs = 2000;
// Clutter's button numbers.
constexpr uint32_t leftButton = 1, rightButton = 3;

// A private connection to the session bus: the shared one ends the process when the bus goes,
// and none is started when there is no bus (GLib would launch one under X).
GDBusConnection *sessionBus()
{
    gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GDBusConnection *bus = nullptr;
    if (address && !g_str_has_prefix(address, "autolaunch:")) {
        bus = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                 | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
    }
    g_free(address);
    if (bus)
        g_dbus_connection_set_exit_on_close(bus, FALSE);
    return bus;
}

} // namespace

std::unique_ptr<GnomeInjector> GnomeInjector::create(WaylandSession &session)
{
    GDBusConnection *bus = sessionBus();
    if (!bus)
        return nullptr;
    std::unique_ptr<GnomeInjector> injector(new GnomeInjector(bus, session));
    GVariant *hello = injector->call("Hello", nullptr, true);
    if (!hello)
        return nullptr;
    g_variant_unref(hello);
    // From now on the shell keeps this process's windows above and unfocused.
    if (GVariant *kept = injector->call("Keep", nullptr))
        g_variant_unref(kept);
    return injector;
}

std::string GnomeInjector::enableCommand()
{
    GDBusConnection *bus = sessionBus();
    if (!bus)
        return {};
    GVariant *reply = g_dbus_connection_call_sync(
        bus, shellName, "/org/gnome/Shell", "org.gnome.Shell.Extensions", "GetExtensionInfo",
        g_variant_new("(s)", uuid), G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
        timeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return {};
    GVariant *info = g_variant_get_child_value(reply, 0);
    double state = 0;
    // An unknown extension gives an empty dictionary; 1 is GNOME Shell's "enabled".
    const bool known = g_variant_lookup(info, "state", "d", &state);
    g_variant_unref(info);
    g_variant_unref(reply);
    return known && state != 1 ? std::string("gnome-extensions enable ") + uuid : std::string();
}

GnomeInjector::GnomeInjector(GDBusConnection *bus, WaylandSession &session)
    : bus(bus)
    , session(session)
{
}

GnomeInjector::~GnomeInjector()
{
    // Nothing pressed here may outlive the program.
    for (const auto &[vk, sym] : heldVks)
        key(sym, false);
    for (const auto &[cp, sym] : heldChars)
        key(sym, false);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
}

GVariant *GnomeInjector::call(const char *method, GVariant *args, bool quiet)
{
    GError *error = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(bus, shellName, objectPath, interfaceName, method,
                                                  args, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                                  timeoutMs, nullptr, &error);
    if (!reply) {
        // Said once: a shell that is gone would otherwise be reported at every key.
        if (answers && !quiet)
            std::fprintf(stderr, "Kelo#: GNOME Shell's Kelo# extension, %s: %s\n", method,
                         error->message);
        // An argument refused leaves the extension there; any other failure means it is gone.
        gchar *name = g_dbus_error_get_remote_error(error);
        answers = answers && name && g_str_has_prefix(name, interfaceName);
        g_free(name);
        g_error_free(error);
    }
    return reply;
}

// The shell handles a connection's calls in the order they were sent, so events need not wait
// for its answer: a click sent after a move acts at the new place. Not waiting keeps the program
// responsive while the shell is busy drawing.
void GnomeInjector::send(const char *method, GVariant *args)
{
    if (g_dbus_connection_is_closed(bus)) {
        answers = false;
        g_variant_unref(g_variant_ref_sink(args));
        return;
    }
    g_dbus_connection_call(bus, shellName, objectPath, interfaceName, method, args, nullptr,
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, nullptr, nullptr);
}

// A press waits for the shell's answer, so a lost extension is noticed; the release that follows
// need not.
bool GnomeInjector::key(uint32_t keysym, bool press)
{
    GVariant *args = g_variant_new("(ub)", keysym, gboolean(press));
    if (!press) {
        send("Key", args);
        return true;
    }
    revive();
    GVariant *reply = call("Key", args);
    if (reply)
        g_variant_unref(reply);
    return reply != nullptr;
}

// GNOME Shell turns its extensions off while the screen is locked and on again after: the new
// instance is told again which windows to keep. Tried at most once a second.
void GnomeInjector::revive()
{
    const auto now = std::chrono::steady_clock::now();
    if (answers || now - lastRevival < std::chrono::seconds(1))
        return;
    lastRevival = now;
    answers = true;
    GVariant *kept = call("Keep", nullptr, true);
    if (kept) {
        g_variant_unref(kept);
        std::fprintf(stderr, "Kelo#: GNOME Shell's Kelo# extension answers again\n");
    }
}

void GnomeInjector::vkEvent(int vk, bool release)
{
    vk &= 0xFF;
    const auto held = heldVks.find(vk);
    if (release) {
        // Up goes what went down, though the code has been bound to another keysym since.
        if (held != heldVks.end()) {
            key(held->second, false);
            heldVks.erase(held);
        }
        return;
    }
    const auto bound = boundVks.find(vk);
    const uint32_t sym = bound != boundVks.end() ? bound->second : vkKeysym(vk);
    if (!sym)
        return;
    if (held != heldVks.end() && held->second != sym)
        key(held->second, false);
    key(sym, true);
    heldVks[vk] = sym;
}

// Letters, digits and space on their own codes (Shift for capitals), as on a US keyboard, so
// chords mean what they do elsewhere; every other character on a spare code bound to its
// keysym, the shell finding the key and level in the active layout.
int GnomeInjector::keyForChar(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return 'A' + (c - u'a');
    if (c >= u'A' && c <= u'Z')
        return ('A' + (c - u'A')) | 0x100;
    if ((c >= u'0' && c <= u'9') || c == u' ')
        return c;
    const uint32_t sym = keysymOfChar(c);
    if (!sym || c < 0x20 || lacks(sym))
        return -1;
    for (const auto &[vk, bound] : boundVks) {
        if (bound == sym)
            return vk;
    }
    // The next spare code not held down.
    for (size_t tries = 0; tries < spareVks.size(); ++tries) {
        const int vk = spareVks[nextSpare];
        nextSpare = (nextSpare + 1) % spareVks.size();
        if (!heldVks.count(vk)) {
            boundVks[vk] = sym;
            return vk;
        }
    }
    return -1;
}

bool GnomeInjector::charEvent(char32_t cp, bool release)
{
    const auto held = heldChars.find(cp);
    if (release) {
        if (held != heldChars.end()) {
            key(held->second, false);
            heldChars.erase(held);
        }
        return true;
    }
    const uint32_t sym = keysymOfChar(cp);
    if (!sym)
        return false;
    if (lacks(sym))
        return unicodeEntry(cp);
    if (held != heldChars.end())
        key(sym, false);
    if (!key(sym, true))
        return false;
    heldChars[cp] = sym;
    return true;
}

void GnomeInjector::setLayoutGroup(unsigned active)
{
    group = active;
    if (layout)
        layout->setGroup(group);
}

// The keymap comes with the seat's first keyboard and again at each change of layouts: the
// compositor's events are taken in first.
bool GnomeInjector::lacks(uint32_t keysym)
{
    session.pump();
    if (session.keymap() != keymap) {
        keymap = session.keymap();
        layout = keymap.empty() ? nullptr : std::make_unique<LayoutKeys>(keymap);
        setLayoutGroup(group);
    }
    return layout && layout->valid() && !layout->chordFor(keysym).key;
}

// Ctrl+Shift+U, the code in hexadecimal, a space: whole on the press. False when the shell
// refused any of its keys: the character is then not typed, whatever went before.
bool GnomeInjector::unicodeEntry(char32_t cp)
{
    bool taken = true;
    const auto tap = [&](uint32_t keysym) {
        if (key(keysym, true))
            key(keysym, false);
        else
            taken = false;
    };
    taken = key(XKB_KEY_Control_L, true) && taken;
    taken = key(XKB_KEY_Shift_L, true) && taken;
    tap(XKB_KEY_u);
    key(XKB_KEY_Shift_L, false);
    key(XKB_KEY_Control_L, false);
    for (const uint32_t keysym : unicodeEntryKeysyms(cp))
        tap(keysym);
    return taken;
}

void GnomeInjector::button(bool right, bool release)
{
    GVariant *args = g_variant_new("(ub)", right ? rightButton : leftButton, gboolean(!release));
    if (release) {
        send("Button", args);
        return;
    }
    revive();
    if (GVariant *reply = call("Button", args))
        g_variant_unref(reply);
}

// The shell steps from where the pointer really is, with no acceleration.
void GnomeInjector::moveBy(int dx, int dy)
{
    send("MoveBy", g_variant_new("(ii)", dx, dy));
    lastX += dx;
    lastY += dy;
}

// The shell's stage starts at the top left corner of the outputs' box.
void GnomeInjector::moveTo(int x, int y, int width, int height)
{
    (void)width;
    (void)height;
    send("MoveTo", g_variant_new("(ii)", x, y));
    lastX = x;
    lastY = y;
}

// Asked again at most every quarter second: the steps between go from where the shell says the
// pointer is anyway, and a glide need not wait on the shell at every step.
bool GnomeInjector::position(int *x, int *y)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - asked < std::chrono::milliseconds(250) && answers) {
        *x = lastX;
        *y = lastY;
        return true;
    }
    GVariant *reply = call("Pointer", nullptr);
    if (!reply)
        return false;
    g_variant_get(reply, "(ii)", &lastX, &lastY);
    g_variant_unref(reply);
    asked = now;
    *x = lastX;
    *y = lastY;
    return true;
}
