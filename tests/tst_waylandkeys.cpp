// GIO before Qt, whose "signals" would rename a member of GIO's.
#include <gio/gio.h>

#include "wayland/activelayout.h"
#include "wayland/evdevswitches.h"
#include "wayland/uinputinjector.h"
#include "wayland/virtualkeymap.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <thread>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

using namespace Qt::StringLiterals;

// The Wayland side's keys without a compositor: the keymap uploaded to the virtual keyboard, and
// the uinput device's events for the us, fr and de layouts (no /dev/uinput here: the device
// itself is not opened, its events are recorded).
class TestWaylandKeys : public QObject
{
    Q_OBJECT

private slots:
    // Every key handed out types its character in the keymap as uploaded, with the keys lent
    // to one character after another given back least recently used first, never while down.
    void virtualKeymap()
    {
        VirtualKeymap map;
        const auto typed = [&](uint32_t key, uint32_t mods) {
            const std::string text = map.text();
            xkb_keymap *keymap = xkb_keymap_new_from_string(
                context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            xkb_state *state = keymap ? xkb_state_new(keymap) : nullptr;
            xkb_state_update_mask(state, mods, 0, 0, 0, 0, 0);
            const char32_t cp = state ? xkb_state_key_get_utf32(state, key + 8) : 0;
            xkb_state_unref(state);
            xkb_keymap_unref(keymap);
            return cp;
        };
        for (const char32_t cp : { U'a', U'A', U'!', U'~', U'é', U'€', U'ß', U'\U0001D11E' })
            QCOMPARE(typed(map.keyOfChar(cp), 0), cp);
        uint32_t shift = 0;
        const uint32_t shiftKey = map.keyOfVk(0x10, &shift);
        QVERIFY(shiftKey && shift == 1);
        QCOMPARE(typed(map.keyOfVk('A'), shift), U'A');
        QCOMPARE(map.keyForChar(u'!'), 0x100 | '1');
        const int spare = map.keyForChar(u'ж');
        QVERIFY(spare >= 0x88 && typed(map.keyOfVk(spare), 0) == U'ж');

        const uint32_t held = map.keyOfChar(U'Ω');
        map.held(held, true);
        (void)map.text();
        for (char32_t cp = 0x4E00; cp < 0x4E00 + 300; ++cp)
            map.keyOfChar(cp);
        QVERIFY(map.changed());
        QCOMPARE(typed(held, 0), U'Ω');
        QCOMPARE(typed(map.keyOfChar(0x4E00 + 299), 0), char32_t(0x4E00 + 299));
    }

    // The kernel device's events: "+42 +2 -2 -42" is Shift down, 1 down, 1 up, Shift up; and the
    // switch keys' event codes by their keysym names, in the layout the compositor gives (none:
    // the default one).
    void uinput_data()
    {
        QTest::addColumn<QString>("layout"); // after a colon: the active one's place
        QTest::addColumn<QString>("text");
        // 0: type text; -1: the codes of the switch keys named; -2: place at "x,y,width,height"
        QTest::addColumn<int>("vk");
        QTest::addColumn<QString>("events");
        const auto row
            = [](const char *name, const char *layout, QString text, int vk, const char *events) {
                  QTest::newRow(name) << QString::fromLatin1(layout) << text << vk << events;
              };
        row("us capital", "us", u"A"_s, 0, "+42 +30 -30 -42");
        row("fr a is on Q", "fr", u"a"_s, 0, "+16 -16");
        row("fr 1 needs Shift", "fr", u"1"_s, 0, "+42 +2 -2 -42");
        row("fr é is a key", "fr", u"é"_s, 0, "+3 -3");
        row("fr @ needs AltGr", "fr", u"@"_s, 0, "+100 +11 -11 -100");
        row("us é: Ctrl+Shift+U, e9, space", "us", u"é"_s, 0,
            "+29 +42 +22 -22 -42 -29 +18 -18 +10 -10 +57 -57");
        row("fr virtual key 1: the key, no Shift", "fr", {}, '1', "+2 -2");
        row("fr virtual key A: the A key", "fr", {}, 'A', "+16 -16");
        row("de virtual Ctrl", "de", {}, 0x11, "+29 -29");
        row("switch key F8, no keymap", "", u"F8"_s, -1, "66");
        row("fr switch keys space, a, unknown", "fr", u"space a NoSuchKey"_s, -1, "57 16 0");
        row("us,de German active: y on the Z key", "us,de:1", u"y"_s, 0, "+44 -44");
        row("us,de German active: ä is a key", "us,de:1", u"ä"_s, 0, "+40 -40");
        // The desktop scales a value v to v * width / 65536.
        row("place in the middle", "", u"640,512,1280,1024"_s, -2, "X32793 Y32800");
        row("place in the last pixel", "", u"1279,1023,1280,1024"_s, -2, "X65510 Y65504");
        row("place beyond the box: nothing", "", u"1280,0,1280,1024"_s, -2, "");
    }
    void uinput()
    {
        QFETCH(QString, layout);
        QFETCH(QString, text);
        QFETCH(int, vk);
        const QByteArray name = layout.section(u':', 0, 0).toLatin1();
        const xkb_rule_names names { nullptr, nullptr, name.constData(), nullptr, nullptr };
        xkb_keymap *keymap
            = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        QVERIFY2(keymap, "xkeyboard-config's layouts are missing");
        char *keymapText = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        QStringList events;
        for (const QString &key : vk == -1 ? text.split(u' ') : QStringList()) {
            const std::string given = layout.isEmpty() ? std::string() : keymapText;
            events << QString::number(EvdevSwitches::codeOf(key.toStdString(), given));
        }
        if (vk >= 0 || vk == -2) {
            UinputInjector injector(keymapText, [&](uint16_t type, uint16_t code, int32_t value) {
                if (type == EV_KEY)
                    events << (value ? u"+"_s : u"-"_s) + QString::number(code);
                else if (type == EV_ABS || type == EV_REL)
                    events << (code == ABS_X ? u"X"_s : u"Y"_s) + QString::number(value);
            });
            injector.setLayoutGroup(layout.section(u':', 1).toUInt());
            const QStringList place = text.split(u',');
            if (vk == -2)
                injector.moveTo(place[0].toInt(), place[1].toInt(), place[2].toInt(),
                                place[3].toInt());
            if (vk) {
                injector.vkEvent(vk, false);
                injector.vkEvent(vk, true);
            }
            for (const char32_t cp : vk == -2 ? QList<uint>() : text.toUcs4()) {
                QVERIFY(injector.charEvent(cp, false));
                QVERIFY(injector.charEvent(cp, true));
            }
        }
        free(keymapText);
        xkb_keymap_unref(keymap);
        QTEST(events.join(u' '), "events");
    }

    // GNOME's keymap holds its layout sources in order; the one in use is the first recent one.
    void gnomeGroup_data()
    {
        QTest::addColumn<QString>("sources");
        QTest::addColumn<QString>("recent");
        QTest::addColumn<int>("group");
        QTest::newRow("German in use, second") << u"xkb:us xkb:de"_s << u"xkb:de xkb:us"_s << 1;
        QTest::newRow("an input method before it")
            << u"ibus:anthy xkb:us xkb:de"_s << u"xkb:de"_s << 1;
        QTest::newRow("an input method in use") << u"xkb:us ibus:anthy"_s << u"ibus:anthy"_s << -1;
        QTest::newRow("none recent: the first") << u"xkb:fr xkb:us"_s << QString() << 0;
    }
    void gnomeGroup()
    {
        const auto listOf = [](const QString &list) {
            ActiveLayout::Sources out;
            for (const QString &s : list.split(u' ', Qt::SkipEmptyParts))
                out.emplace_back(s.section(u':', 0, 0).toStdString(),
                                 s.section(u':', 1).toStdString());
            return out;
        };
        QFETCH(QString, sources);
        QFETCH(QString, recent);
        QTEST(ActiveLayout::gnomeGroup(listOf(sources), listOf(recent)), "group");
    }

    // KDE's keyboard service, on a bus of the test's own, answering from a thread of its own:
    // the layout it names is followed within a quarter second.
    void kdeLayout()
    {
        QProcess bus;
        bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address"_s });
        QVERIFY2(bus.waitForReadyRead(5000), "dbus-daemon does not start");
        const QByteArray address = bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        std::atomic<unsigned> active = 1;
        std::atomic<bool> done = false;
        GMainContext *loop = g_main_context_new();
        std::thread service([&] {
            g_main_context_push_thread_default(loop);
            GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
            GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(
                "<node><interface name='org.kde.KeyboardLayouts'><method name='getLayout'>"
                "<arg type='u' direction='out'/></method></interface></node>",
                nullptr);
            static const GDBusInterfaceVTable answer = { [](auto, auto, auto, auto, auto, auto,
                                                            GDBusMethodInvocation *call, void *on) {
                g_dbus_method_invocation_return_value(
                    call, g_variant_new("(u)", static_cast<std::atomic<unsigned> *>(on)->load()));
            } };
            g_dbus_connection_register_object(c, "/Layouts", node->interfaces[0], &answer, &active,
                                              nullptr, nullptr);
            g_bus_own_name_on_connection(c, "org.kde.keyboard", G_BUS_NAME_OWNER_FLAGS_NONE,
                                         nullptr, nullptr, nullptr, nullptr);
            while (!done)
                g_main_context_iteration(loop, TRUE);
        });
        const auto stop = qScopeGuard([&] {
            done = true;
            g_main_context_wakeup(loop);
            service.join();
        });
        ActiveLayout layout;
        QTRY_COMPARE(layout.group(), 1);
        active = 0;
        QTRY_COMPARE_WITH_TIMEOUT(layout.group(), 0, 1000);
    }

    void cleanupTestCase() { xkb_context_unref(context); }

private:
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
};

QTEST_GUILESS_MAIN(TestWaylandKeys)
#include "tst_waylandkeys.moc"
