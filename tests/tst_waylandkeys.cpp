#include "wayland/evdevswitches.h"
#include "wayland/uinputinjector.h"
#include "wayland/virtualkeymap.h"

#include <QTest>

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
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("vk"); // 0: type text; -1: the codes of the switch keys named
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
    }
    void uinput()
    {
        QFETCH(QString, layout);
        QFETCH(QString, text);
        QFETCH(int, vk);
        const QByteArray name = layout.toLatin1();
        const xkb_rule_names names { nullptr, nullptr, name.constData(), nullptr, nullptr };
        xkb_keymap *keymap
            = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        QVERIFY2(keymap, "xkeyboard-config's layouts are missing");
        char *keymapText = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        QStringList events;
        for (const QString &key : vk < 0 ? text.split(u' ') : QStringList()) {
            const std::string given = layout.isEmpty() ? std::string() : keymapText;
            events << QString::number(EvdevSwitches::codeOf(key.toStdString(), given));
        }
        if (vk >= 0) {
            UinputInjector injector(keymapText, [&](uint16_t type, uint16_t code, int32_t value) {
                if (type == EV_KEY)
                    events << (value ? u"+"_s : u"-"_s) + QString::number(code);
            });
            if (vk) {
                injector.vkEvent(vk, false);
                injector.vkEvent(vk, true);
            }
            for (const char32_t cp : text.toUcs4()) {
                QVERIFY(injector.charEvent(cp, false));
                QVERIFY(injector.charEvent(cp, true));
            }
        }
        free(keymapText);
        xkb_keymap_unref(keymap);
        QTEST(events.join(u' '), "events");
    }

    void cleanupTestCase() { xkb_context_unref(context); }

private:
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
};

QTEST_GUILESS_MAIN(TestWaylandKeys)
#include "tst_waylandkeys.moc"
