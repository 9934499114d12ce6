#include "activelayout.h"

#include <gio/gio.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

ActiveLayout::Sources sourcesOf(GSettings *settings, const char *key)
{
    ActiveLayout::Sources list;
    GVariant *value = g_settings_get_value(settings, key);
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    const char *type = nullptr, *name = nullptr;
    while (g_variant_iter_next(&iter, "(&s&s)", &type, &name))
        list.emplace_back(type, name);
    g_variant_unref(value);
    return list;
}

bool desktopIs(const char *name)
{
    const char *desktops = std::getenv("XDG_CURRENT_DESKTOP");
    return desktops && std::strstr(desktops, name);
}

} // namespace

ActiveLayout::ActiveLayout()
{
    // Only a bus that is there: GIO would otherwise start one of its own for an X display.
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const bool hasBus = std::getenv("DBUS_SESSION_BUS_ADDRESS")
        || (runtime && access((std::string(runtime) + "/bus").c_str(), F_OK) == 0);
    if (hasBus && desktopIs("KDE"))
        bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (desktopIs("GNOME")) {
        GSettingsSchemaSource *schemas = g_settings_schema_source_get_default();
        GSettingsSchema *schema = schemas
            ? g_settings_schema_source_lookup(schemas, "org.gnome.desktop.input-sources", TRUE)
            : nullptr;
        if (schema) {
            gnome = g_settings_new("org.gnome.desktop.input-sources");
            g_settings_schema_unref(schema);
        }
    }
}

ActiveLayout::~ActiveLayout()
{
    if (gnome)
        g_object_unref(gnome);
    if (bus)
        g_object_unref(bus);
}

int ActiveLayout::group()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - asked >= std::chrono::milliseconds(250)) {
        asked = now;
        last = ask();
    }
    return last;
}

int ActiveLayout::ask()
{
    if (bus) {
        GVariant *reply = g_dbus_connection_call_sync(
            bus, "org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts", "getLayout", nullptr,
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 200, nullptr, nullptr);
        if (reply) {
            guint32 index = 0;
            g_variant_get(reply, "(u)", &index);
            g_variant_unref(reply);
            return int(index);
        }
    }
    if (gnome)
        return gnomeGroup(sourcesOf(gnome, "sources"), sourcesOf(gnome, "mru-sources"));
    return -1;
}

int ActiveLayout::gnomeGroup(const Sources &sources, const Sources &recent)
{
    const auto &inUse
        = recent.empty() ? (sources.empty() ? Sources::value_type() : sources[0]) : recent[0];
    if (inUse.first != "xkb")
        return -1;
    int place = 0;
    for (const auto &source : sources) {
        if (source == inUse)
            return place;
        place += source.first == "xkb";
    }
    return -1;
}
