#include "../passwordwatch.h"

#include <dbus/dbus.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace {

// ATSPI_ROLE_PASSWORD_TEXT in the AT-SPI role numbering, which is part of its D-Bus protocol.
constexpr dbus_uint32_t passwordTextRole = 40;
constexpr int callTimeoutMs = 1000;
constexpr const char *focusEvent = "object:state-changed:focused";

struct ConnectionClose
{
    void operator()(DBusConnection *c) const
    {
        dbus_connection_close(c);
        dbus_connection_unref(c);
    }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionClose>;

struct MessageUnref
{
    void operator()(DBusMessage *m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// A private connection to a bus by its address, registered; null (and why) when none answers.
Connection open(const std::string &address, std::string *why)
{
    DBusError error;
    dbus_error_init(&error);
    Connection c(dbus_connection_open_private(address.c_str(), &error));
    if (c && !dbus_bus_register(c.get(), &error))
        c.reset();
    if (!c)
        *why = error.message ? error.message : "no answer";
    dbus_error_free(&error);
    if (c)
        dbus_connection_set_exit_on_disconnect(c.get(), false);
    return c;
}

// The session bus as libdbus would find it, but never by starting one (its autolaunch).
std::string sessionAddress()
{
    if (const char *a = std::getenv("DBUS_SESSION_BUS_ADDRESS"); a && *a)
        return a;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0
        && S_ISSOCK(st.st_mode))
        return std::string("unix:path=") + runtime + "/bus";
    return {};
}

// A method call with one string argument or none; its reply, or null on error or time-out.
Message call(DBusConnection *c, const char *to, const char *path, const char *interface,
             const char *method, const char *arg = nullptr)
{
    Message m(dbus_message_new_method_call(to, path, interface, method));
    if (!m)
        return {};
    if (arg && !dbus_message_append_args(m.get(), DBUS_TYPE_STRING, &arg, DBUS_TYPE_INVALID))
        return {};
    DBusError error;
    dbus_error_init(&error);
    Message reply(dbus_connection_send_with_reply_and_block(c, m.get(), callTimeoutMs, &error));
    dbus_error_free(&error);
    return reply;
}

// The address of the accessibility bus, from its launcher on the session bus.
std::string accessibilityAddress(std::string *why)
{
    const std::string session = sessionAddress();
    if (session.empty()) {
        *why = "no session bus";
        return {};
    }
    Connection c = open(session, why);
    if (!c)
        return {};
    Message reply = call(c.get(), "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
    const char *address = nullptr;
    if (!reply
        || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &address,
                                  DBUS_TYPE_INVALID)
        || !address || !*address) {
        *why = "its launcher does not answer";
        return {};
    }
    return address;
}

} // namespace

void PasswordWatch::run()
{
    std::string why;
    const std::string address = accessibilityAddress(&why);
    Connection bus = address.empty() ? Connection() : open(address, &why);
    if (!bus) {
        std::fprintf(stderr, "Kelo#: no accessibility bus (%s): password fields not recognised\n",
                     why.c_str());
        return;
    }
    DBusConnection *c = bus.get();
    dbus_bus_add_match(c,
                       "type='signal',interface='org.a11y.atspi.Event.Object',"
                       "member='StateChanged',arg0='focused'",
                       nullptr);
    // Applications send only the events some listener has asked the registry for.
    call(c, "org.a11y.atspi.Registry", "/org/a11y/atspi/registry", "org.a11y.atspi.Registry",
         "RegisterEvent", focusEvent);

    std::string focusedObject; // sender and path of the control that took the focus last
    while (!stopping && dbus_connection_read_write(c, 250)) {
        while (Message m { dbus_connection_pop_message(c) }) {
            if (!dbus_message_is_signal(m.get(), "org.a11y.atspi.Event.Object", "StateChanged"))
                continue;
            const char *detail = nullptr;
            dbus_int32_t gained = 0;
            DBusMessageIter it;
            if (!dbus_message_iter_init(m.get(), &it)
                || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING)
                continue;
            dbus_message_iter_get_basic(&it, &detail);
            if (std::string(detail) != "focused" || !dbus_message_iter_next(&it)
                || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_INT32)
                continue;
            dbus_message_iter_get_basic(&it, &gained);
            const char *sender = dbus_message_get_sender(m.get());
            const char *path = dbus_message_get_path(m.get());
            if (!sender || !path)
                continue;
            const std::string object = std::string(sender) + path;
            if (!gained) {
                if (object == focusedObject)
                    password = false;
                continue;
            }
            focusedObject = object;
            Message reply = call(c, sender, path, "org.a11y.atspi.Accessible", "GetRole");
            dbus_uint32_t role = 0;
            password = reply
                && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &role,
                                         DBUS_TYPE_INVALID)
                && role == passwordTextRole;
        }
    }
    password = false;
}
