#include "keym.h"
#include "x11/x11platform.h"
#include "x11testclient.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/XF86keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <memory>
#include <string_view>
#include <vector>

namespace {

// The injector takes UTF-16 code units in a wide string, whatever the width of wchar_t.
std::wstring units(const QString &s)
{
    std::wstring out;
    for (QChar c : s)
        out += wchar_t(c.unicode());
    return out;
}

std::vector<KeySym> keymapOf(Display *display)
{
    int min = 0, max = 0, width = 0;
    XDisplayKeycodes(display, &min, &max);
    KeySym *syms = XGetKeyboardMapping(display, KeyCode(min), max - min + 1, &width);
    std::vector<KeySym> out(syms, syms + (max - min + 1) * width);
    XFree(syms);
    return out;
}

} // namespace

// The X11 layer against a real server: what an ordinary client receives, the global Escape
// state and the keymap it borrows from. Runs under Xvfb; without a display it fails.
class TestX11Platform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void typesText();
    void typesManyCharactersTheKeymapLacks();
    void virtualKeys_data();
    void virtualKeys();
    void chords();
    void capsLock();
    void secondLayout();
    void keyForChar();
    void escapeTap();
    void escapeHeldWithoutFocus();
    void pointerButtons();
    void keymapRestoredAndKeysReleased();
    void keymapRestoredWhenIdle();
    void noDisplay();

private:
    std::vector<int> keysDown();
    void tapEscape(bool press, bool release);
    QStringList rawKeys(qsizetype n);

    Display *display = nullptr;
    int xiOpcode = 0;
    std::vector<KeySym> originalKeymap;
    X11TestClient client;
    std::unique_ptr<X11Platform> platform;
    std::unique_ptr<KeyM> keym;
};

void TestX11Platform::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "these tests need an X server (DISPLAY)");
    display = XOpenDisplay(nullptr);
    QVERIFY2(display, "cannot open the X display");
    originalKeymap = keymapOf(display);
    // Raw key events show what reached the server, before any grab (a window manager's
    // Alt+F4) can divert it from the client.
    int event = 0, error = 0;
    QVERIFY(XQueryExtension(display, "XInputExtension", &xiOpcode, &event, &error));
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask { XIAllMasterDevices, int(sizeof bits), bits };
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    QVERIFY(client.start());
    platform = std::make_unique<X11Platform>();
    keym = std::make_unique<KeyM>(platform.get());
}

void TestX11Platform::init()
{
    keym->modif(0);
    client.focus(true);
    client.clear();
    rawKeys(0);
}

// Whatever a test did, the program holds no key afterwards.
void TestX11Platform::cleanup()
{
    QCOMPARE(keysDown(), std::vector<int>());
}

void TestX11Platform::cleanupTestCase()
{
    keym.reset();
    platform.reset();
    if (!display)
        return;
    XSync(display, False);
    const bool restored = keymapOf(display) == originalKeymap;
    XCloseDisplay(display);
    QVERIFY2(restored, "the keymap was not given back");
}

std::vector<int> TestX11Platform::keysDown()
{
    char keys[32];
    XQueryKeymap(display, keys);
    std::vector<int> down;
    for (int keycode = 0; keycode < 256; ++keycode) {
        if (keys[keycode / 8] & (1 << (keycode % 8)))
            down.push_back(keycode);
    }
    return down;
}

void TestX11Platform::tapEscape(bool press, bool release)
{
    const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
    if (press)
        XTestFakeKeyEvent(display, escape, True, CurrentTime);
    if (release)
        XTestFakeKeyEvent(display, escape, False, CurrentTime);
    XSync(display, False);
}

// The next n raw key events as "F4 down", waiting a bounded time for them; n = 0 just drains.
QStringList TestX11Platform::rawKeys(qsizetype n)
{
    QStringList out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        XSync(display, False);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != GenericEvent || event.xcookie.extension != xiOpcode
                || !XGetEventData(display, &event.xcookie))
                continue;
            const auto *raw = static_cast<const XIRawEvent *>(event.xcookie.data);
            const KeySym sym = XkbKeycodeToKeysym(display, KeyCode(raw->detail), 0, 0);
            out << QString::fromLatin1(XKeysymToString(sym))
                    + (event.xcookie.evtype == XI_RawKeyPress ? " down" : " up");
            XFreeEventData(display, &event.xcookie);
        }
    } while (out.size() < n && std::chrono::steady_clock::now() < deadline);
    return out;
}

void TestX11Platform::typesText()
{
    // ASCII, Latin-1 letters the US keymap lacks, the euro sign, CJK and a character beyond
    // the BMP (two UTF-16 units), then Backspace takes the last one away and Enter ends a line.
    keym->text(units(QString::fromUtf16(u"Hello, w\u00f6rld \u00e9\u20ac\u4e2d\U0001F600")));
    keym->keyb(8);
    keym->keyb(13);
    keym->text(units("ok"));
    const QString expected = QString::fromUtf16(u"Hello, w\u00f6rld \u00e9\u20ac\u4e2d\nok");
    QCOMPARE(client.waitForText(expected), expected);
}

// More distinct missing characters than there are borrowed keycodes, typed twice: each must
// arrive as itself although keycodes are lent again while the client is still reading.
void TestX11Platform::typesManyCharactersTheKeymapLacks()
{
    const QString word = QString::fromUtf16(u"\u0175\u0177\u0109\u011d\u0125\u0135\u015d\u016d"
                                            u"\u017e\u0161\u010d\u0159\u0119\u0105");
    keym->text(units(word));
    keym->text(units(" " + word));
    QCOMPARE(client.waitForText(word + " " + word, 15000), word + " " + word);
}

void TestX11Platform::virtualKeys_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<unsigned long>("keysym");
    const QList<QPair<int, KeySym>> keys {
        { 8, XK_BackSpace },
        { 9, XK_Tab },
        { 13, XK_Return },
        { 27, XK_Escape },
        { 32, XK_space },
        { 33, XK_Prior },
        { 34, XK_Next },
        { 37, XK_Left },
        { 38, XK_Up },
        { 39, XK_Right },
        { 40, XK_Down },
        { 46, XK_Delete },
        { 91, XK_Super_L },
        { 110, XK_KP_Decimal },
        { 173, XF86XK_AudioMute },
        { 174, XF86XK_AudioLowerVolume },
        { 175, XF86XK_AudioRaiseVolume },
        { 176, XF86XK_AudioNext },
        { 177, XF86XK_AudioPrev },
        { 178, XF86XK_AudioStop },
        { 179, XF86XK_AudioPlay },
        { 188, XK_comma },
        { 16, XK_Shift_L },
        { 17, XK_Control_L },
        { 18, XK_Alt_L },
        { 164, XK_Alt_L },
        { 115, XK_F4 },
        { 'A', XK_a },
        { 'Z', XK_z },
        { '0', XK_0 },
        { '9', XK_9 },
    };
    for (const auto &[vk, keysym] : keys)
        QTest::addRow("%d", vk) << vk << keysym;
}

void TestX11Platform::virtualKeys()
{
    QFETCH(int, vk);
    QFETCH(unsigned long, keysym);
    keym->keyb(vk);
    const QList<X11TestClient::Key> keys = client.waitForKeys(1);
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys.front().keysym, keysym);
    QCOMPARE(keys.front().state & (ShiftMask | ControlMask | Mod1Mask), 0u);
}

void TestX11Platform::chords()
{
    // Ctrl for the first character only.
    keym->modif(1);
    keym->text(units("cv"));
    QList<X11TestClient::Key> keys = client.waitForKeys(3);
    QCOMPARE(keys.size(), 3);
    QCOMPARE(keys[0].keysym, KeySym(XK_Control_L));
    QCOMPARE(keys[1].keysym, KeySym(XK_c));
    QVERIFY(keys[1].state & ControlMask);
    QCOMPARE(keys[1].chars, QString(u'\x03'));
    QCOMPARE(keys[2].keysym, KeySym(XK_v));
    QVERIFY(!(keys[2].state & ControlMask));
    QCOMPARE(client.text(), "v");

    // Alt with a shifted sign: its unshifted key, with Alt and without Shift.
    client.clear();
    keym->modif(3);
    keym->text(units("!"));
    keys = client.waitForKeys(2);
    QCOMPARE(keys.size(), 2);
    QCOMPARE(keys[1].keysym, KeySym(XK_1));
    QCOMPARE(keys[1].state & (Mod1Mask | ShiftMask), unsigned(Mod1Mask));

    // One-shot Shift, then the sticky Shift over two strings.
    client.clear();
    keym->modif(4);
    keym->text(units("ab"));
    keym->modif(5);
    keym->text(units("cd"));
    keym->text(units("e"));
    keym->modif(5);
    keym->text(units("f"));
    QCOMPARE(client.waitForText("AbCDEf"), "AbCDEf");

    // Alt+F4, in that order; a window manager may keep F4 from the client.
    client.clear();
    rawKeys(0);
    keym->special(14);
    QCOMPARE(rawKeys(4), QStringList({ "Alt_L down", "F4 down", "F4 up", "Alt_L up" }));
}

// Characters come out as themselves whatever Caps Lock says.
void TestX11Platform::capsLock()
{
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask);
    XSync(display, False);
    const auto unlock = qScopeGuard([this] {
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
        XSync(display, False);
    });
    keym->text(units("aB1!"));
    QCOMPARE(client.waitForText("aB1!"), "aB1!");
    QCOMPARE(platform->keyForChar(u'!'), 0x100 | '1');
}

// With a second layout active, a letter of the first is not where the first layout has it:
// it is typed through a borrowed keycode, and the second layout's own letters directly.
void TestX11Platform::secondLayout()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString saved = dir.filePath("keymap.xkb");
    const QString name = qEnvironmentVariable("DISPLAY");
    QCOMPARE(QProcess::execute("xkbcomp", { "-xkb", name, saved }), 0);
    // The layout names too, which xkbcomp does not carry.
    QProcess query;
    query.start("setxkbmap", { "-query" });
    QVERIFY(query.waitForFinished());
    QStringList names { "-option", "" };
    for (const QString &line : QString::fromLocal8Bit(query.readAllStandardOutput()).split(u'\n')) {
        const QString key = line.section(u':', 0, 0).trimmed();
        const QString value = line.section(u':', 1).trimmed();
        if (key == u"rules" || key == u"model" || key == u"layout" || key == u"variant")
            names << "-" + key << value;
        else if (key == u"options")
            names << "-option" << value;
    }
    const auto restore = qScopeGuard([&] {
        XkbLockGroup(display, XkbUseCoreKbd, 0);
        XSync(display, False);
        QProcess::execute("setxkbmap", names);
        QProcess::execute("xkbcomp", { saved, name });
    });
    QCOMPARE(QProcess::execute("setxkbmap", { "-layout", "us,fr" }), 0);
    XkbLockGroup(display, XkbUseCoreKbd, 1);
    XSync(display, False);

    // On the French layout, a is where q is on the US one, and é has a key of its own.
    QCOMPARE(platform->keyForChar(u'a'), int('Q'));
    QCOMPARE(platform->keyForChar(u'\u00e9'), int('2'));
    keym->text(units(QString::fromUtf16(u"aq\u00e9w")));
    QCOMPARE(client.waitForText(QString::fromUtf16(u"aq\u00e9w")),
             QString::fromUtf16(u"aq\u00e9w"));

    // French alone: its letters have keys, and a key with no Windows code of its own (\u00e0
    // on the 0 key) gets a spare code that types it.
    client.clear();
    XkbLockGroup(display, XkbUseCoreKbd, 0);
    QCOMPARE(QProcess::execute("setxkbmap", { "-layout", "fr" }), 0);
    QCOMPARE(platform->keyForChar(u'a'), int('A'));
    const int agrave = platform->keyForChar(u'\u00e0');
    QVERIFY2(agrave >= 0x88 && agrave < 0x100, qPrintable(QString::number(agrave)));
    platform->keyEvent(agrave, false);
    platform->keyEvent(agrave, true);
    keym->keyb('A');
    QCOMPARE(client.waitForText(QString::fromUtf16(u"\u00e0a")), QString::fromUtf16(u"\u00e0a"));
}

void TestX11Platform::keyForChar()
{
    QCOMPARE(platform->keyForChar(u'a'), int('A'));
    QCOMPARE(platform->keyForChar(u'A'), 0x100 | 'A');
    QCOMPARE(platform->keyForChar(u'7'), int('7'));
    QCOMPARE(platform->keyForChar(u'!'), 0x100 | '1');
    QCOMPARE(platform->keyForChar(u','), 188);
    QCOMPARE(platform->keyForChar(u'\r'), 13);
    QCOMPARE(platform->keyForChar(u' '), 32);
    // Not on a US keymap.
    QCOMPARE(platform->keyForChar(u'\u00e9'), -1);
    QCOMPARE(platform->keyForChar(u'\u4e2d'), -1);
    QCOMPARE(platform->keyForChar(u'\xd83d'), -1);

    // Every printable ASCII character comes back as itself through its key and shift state.
    QString ascii;
    for (char16_t c = 0x20; c < 0x7f; ++c) {
        ascii += QChar(c);
        const int key = platform->keyForChar(c);
        QVERIFY2(key > 0, qPrintable(QString(QChar(c))));
        if (key & 0x100)
            platform->keyEvent(16, false);
        platform->keyEvent(key, false);
        platform->keyEvent(key, true);
        if (key & 0x100)
            platform->keyEvent(16, true);
    }
    QCOMPARE(client.waitForText(ascii), ascii);
}

void TestX11Platform::escapeTap()
{
    platform->escapeState();
    QCOMPARE(platform->escapeState(), 0);
    // A tap that begins and ends between two polls is reported once.
    tapEscape(true, true);
    QCOMPARE(platform->escapeState(), 1);
    QCOMPARE(platform->escapeState(), 0);
    // Other keys are not Escape.
    keym->keyb(13);
    QCOMPARE(platform->escapeState(), 0);
}

void TestX11Platform::escapeHeldWithoutFocus()
{
    client.focus(false);
    platform->escapeState();
    tapEscape(true, false);
    QCOMPARE(platform->escapeState(), 0x8001);
    QCOMPARE(platform->escapeState(), 0x8000);
    tapEscape(false, true);
    QCOMPARE(platform->escapeState(), 0);
    // A second tap is a new press.
    tapEscape(true, true);
    QCOMPARE(platform->escapeState(), 1);
}

void TestX11Platform::pointerButtons()
{
    platform->pointerButton(Platform::Button::Left, false);
    platform->pointerButton(Platform::Button::Left, true);
    platform->pointerButton(Platform::Button::Right, false);
    platform->pointerButton(Platform::Button::Right, true);
    QCOMPARE(client.waitForButtons(2), QList<int>({ 1, 3 }));
    Window root, child;
    int rx, ry, wx, wy;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rx, &ry, &wx, &wy, &mask);
    QCOMPARE(mask & (Button1Mask | Button3Mask), 0u);
}

// A layer that goes away gives back every keycode it borrowed and releases what it pressed.
void TestX11Platform::keymapRestoredAndKeysReleased()
{
    XSync(display, False);
    const std::vector<KeySym> before = keymapOf(display);
    {
        X11Platform other;
        for (char16_t c : std::u16string_view(u"\u0175\u00e9\u4e2d")) {
            other.unicodeEvent(c, false);
            other.unicodeEvent(c, true);
        }
        other.unicodeEvent(u'\u0177', false);
        other.keyEvent(17, false);
        XSync(display, False);
        QVERIFY(keymapOf(display) != before);
        QCOMPARE(keysDown().size(), size_t(2));
    }
    QCOMPARE(client.waitForText(QString::fromUtf16(u"\u0175\u00e9\u4e2d\u0177")),
             QString::fromUtf16(u"\u0175\u00e9\u4e2d\u0177"));
    XSync(display, False);
    QVERIFY(keymapOf(display) == before);
}

// While the program runs, a borrowed keycode goes back once it has been idle for a while.
void TestX11Platform::keymapRestoredWhenIdle()
{
    XSync(display, False);
    const std::vector<KeySym> before = keymapOf(display);
    X11Platform other;
    other.unicodeEvent(u'\u0175', false);
    other.unicodeEvent(u'\u0175', true);
    XSync(display, False);
    QVERIFY(keymapOf(display) != before);
    QCOMPARE(client.waitForText(QString::fromUtf16(u"\u0175")), QString::fromUtf16(u"\u0175"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (keymapOf(display) != before && std::chrono::steady_clock::now() < deadline) {
        other.escapeState();
        QTest::qSleep(100);
        XSync(display, False);
    }
    QVERIFY(keymapOf(display) == before);
}

void TestX11Platform::noDisplay()
{
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    {
        X11Platform none;
        none.keyEvent(65, false);
        none.keyEvent(65, true);
        none.unicodeEvent(u'a', false);
        none.unicodeEvent(u'a', true);
        none.pointerButton(Platform::Button::Left, false);
        QCOMPARE(none.keyForChar(u'a'), -1);
        QCOMPARE(none.escapeState(), 0);
    }
    qputenv("DISPLAY", saved);
    QCOMPARE(client.waitForKeys(1, 300).size(), 0);
}

QTEST_GUILESS_MAIN(TestX11Platform)
#include "tst_x11platform.moc"
