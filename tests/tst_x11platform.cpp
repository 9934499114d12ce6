// The Linux platform layer against a real X server: what a client receives, the switch keys,
// the borrowed keycodes, the autostart entry.
#include "keym.h"
#include "mouse.h"
#include "typingtarget.h"
#include "x11/x11platform.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <vector>

using namespace Qt::StringLiterals;

class TestX11Platform : public QObject
{
    Q_OBJECT
public:
    ~TestX11Platform() override
    {
        if (display)
            XCloseDisplay(display);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(display, "these tests need an X server (DISPLAY)");
        QVERIFY(client.start());
    }
    void init()
    {
        keym.modif(0);
        platform.setSwitchKey("", false);
        client.clear();
    }
    // No key or button is left down (and none is, for the next case).
    void cleanup()
    {
        Window w;
        int i;
        unsigned buttons = 0;
        char keys[32];
        XQueryPointer(display, DefaultRootWindow(display), &w, &w, &i, &i, &i, &i, &buttons);
        XQueryKeymap(display, keys);
        for (unsigned n = 1; n < 256; ++n) {
            if (n <= 5 && buttons & (Button1Mask << (n - 1)))
                XTestFakeButtonEvent(display, n, False, CurrentTime);
            if (keys[n / 8] & (1 << (n % 8)))
                XTestFakeKeyEvent(display, n, False, CurrentTime);
        }
        XSync(display, False);
        QCOMPARE(buttons & 0x1f00, 0u);
        QCOMPARE(QByteArray(keys, 32), QByteArray(32, 0));
    }

    // Steps to KeyM in a state of the keyboard; the switch key chosen ("switch space 1" grabbed,
    // "refuse" an unknown name), pressed by the user ("tap", "down", "up"), read ("read 1"; "-");
    // a key held and the name read for it ("held F8=F8").
    void typing_data()
    {
        QTest::addColumn<QString>("keyboard");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        // More letters the US keymap lacks than keycodes to borrow, lent again while read.
        const QString missing
            = u"\u0175\u0177\u0109\u011d\u0125\u0135\u015d\u016d\u017e\u0161\u010d\u0159\u0119\u0105"_s;
        const auto row = [](const char *name, const char *keyboard, const QString &steps,
                            const QString &expected) {
            QTest::newRow(name) << QString::fromLatin1(keyboard) << steps << expected;
        };
        // French: a on q's key, é a key, Shift on é (the key of 2) É; before any keycode is lent.
        row("second layout", "us,fr", u"text aqéw; modif 4; text a; modif 4; text é"_s,
            u"aqéwAÉ"_s);
        row("text, Backspace, Enter", "us",
            u"text Hi, wörld é€中\U0001F600; keyb 8; keyb 13; text ok"_s, u"Hi, wörld é€中\nok"_s);
        row("more missing characters than borrowed keycodes", "us",
            "text " + missing + "; text  " + missing, missing + " " + missing);
        row("Ctrl chord", "us", u"modif 1; text cv"_s, u"<C-c>v"_s);
        row("Alt on a shifted sign", "us", u"modif 3; text !"_s, u"<A-1>"_s);
        row("Caps with a letter the layout lacks", "us", u"modif 5; text Mädchen"_s, u"MÄDCHEN"_s);
        row("Caps Lock, then Caps", "us caps", u"text aB1!; modif 5; text ab"_s, u"aB1!AB"_s);
        // Bit 15 while down, bit 0 once a press and bit 1 once a release since the last read; a
        // key the program types is no press. Grabbed, the user's presses reach no client, the
        // program's typing does. "moved 1": the descriptor wakes and tells of the key's motion;
        // "moved 0": it does not.
        const QString taps = u"read -; read 0; tap; moved 1; read 3; read 0; down; moved 1; "
                             "read 32769; read 32768; up; moved 1; read 2; keyb 13; moved 0; "
                             "read 0; text a b"_s;
        row("Escape", "us", "refuse; " + taps, u"<Esc><Esc>\na b"_s);
        row("Escape, grabbed", "us", "escape 1; " + taps + "; keyb 27; escape 0; tap",
            u"\na b<Esc><Esc>"_s);
        row("space, grabbed", "us", "refuse; switch space 1; " + taps, u"\na b"_s);
        // The key held as the switch key's choice reads it: neither Escape nor a modifier.
        row("key held", "us", u"held F8=F8; held Shift_L=; held Escape="_s, u"<Esc>"_s);
    }
    void typing()
    {
        QFETCH(QString, keyboard);
        QFETCH(QString, steps);
        // Another layout in place, the keymap given back after from a copy.
        QTemporaryDir dir;
        const QString saved = dir.filePath("keymap.xkb"), name = qEnvironmentVariable("DISPLAY");
        const bool french = keyboard == u"us,fr";
        const auto restore = qScopeGuard([&] {
            XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
            XkbLockGroup(display, XkbUseCoreKbd, 0);
            XSync(display, False);
            if (french)
                QProcess::execute("xkbcomp", { "-w", "0", saved, name });
        });
        if (french) {
            QCOMPARE(QProcess::execute("xkbcomp", { "-w", "0", "-xkb", name, saved }), 0);
            QCOMPARE(QProcess::execute("setxkbmap", { "-layout", "us,fr" }), 0);
            XkbLockGroup(display, XkbUseCoreKbd, 1);
        }
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, keyboard == u"us caps" ? LockMask : 0);
        XSync(display, False);

        QString switchKey;
        for (const QString &step : steps.split(u"; "_s)) {
            const QString op = step.section(u' ', 0, 0), arg = step.mid(op.size() + 1);
            const std::u16string units = arg.toStdU16String();
            const KeyCode code = XKeysymToKeycode(
                display, XStringToKeysym(switchKey.isEmpty() ? "Escape" : qPrintable(switchKey)));
            if (op == u"text")
                keym.text({ units.begin(), units.end() });
            else if (op == u"keyb" || op == u"modif")
                (keym.*(op == u"keyb" ? &KeyM::keyb : &KeyM::modif))(arg.toInt());
            else if (op == u"escape")
                platform.setEscapeGrab(arg == u"1");
            else if (op == u"refuse")
                QVERIFY(!platform.setSwitchKey("NoSuchKey", false));
            else if (op == u"switch")
                QVERIFY(platform.setSwitchKey((switchKey = arg.section(u' ', 0, 0)).toStdString(),
                                              arg.endsWith(u'1')));
            else if (op == u"read") {
                const int state
                    = switchKey.isEmpty() ? platform.escapeState() : platform.switchKeyState();
                QVERIFY2(arg == u"-" || arg.toInt() == state,
                         qPrintable(step + " gave " + QString::number(state)));
            } else if (op == u"moved") {
                pollfd wake { platform.switchEventFd(), POLLIN, 0 };
                const bool woke = ::poll(&wake, 1, arg == u"1" ? 2000 : 300) > 0;
                QVERIFY2((woke && platform.switchEventsPending()) == (arg == u"1"),
                         qPrintable(step));
            } else if (op == u"held") {
                const KeyCode held = XKeysymToKeycode(
                    display, XStringToKeysym(qPrintable(arg.section(u'=', 0, 0))));
                XTestFakeKeyEvent(display, held, True, CurrentTime);
                XSync(display, False);
                const QString name = QString::fromStdString(platform.keyDown());
                XTestFakeKeyEvent(display, held, False, CurrentTime);
                XSync(display, False);
                QCOMPARE(name, arg.section(u'=', 1));
            } else { // tap, down or up: the user at the switch key
                for (const bool press : { true, false }) {
                    if (op == u"tap" || (op == u"down") == press) {
                        XTestFakeKeyEvent(display, code, press, CurrentTime);
                        XSync(display, False);
                    }
                }
            }
        }
        QFETCH(QString, expected);
        QCOMPARE(client.waitForText(expected, 15000), expected);
    }

    // A layer let go of as the program ends, and one that goes, give back the keycodes they
    // borrowed (and, see cleanup, keys).
    void layerGoing()
    {
        int min = 0, max = 0, width = 0;
        XDisplayKeycodes(display, &min, &max);
        const auto keymap = [&] {
            XSync(display, False);
            KeySym *syms = XGetKeyboardMapping(display, KeyCode(min), max - min + 1, &width);
            const std::vector<KeySym> out(syms, syms + (max - min + 1) * width);
            XFree(syms);
            return out;
        };
        const std::vector<KeySym> before = keymap();
        for (const bool atExit : { true, false }) {
            X11Platform other;
            other.unicodeEvent(u'\u01b5', false);
            other.keyEvent(0x11, false);
            QVERIFY(keymap() != before);
            if (atExit) {
                other.releaseAll();
                QVERIFY(keymap() == before);
            }
        }
        QVERIFY(keymap() == before);
    }

    // Pointer codes from a position (negative: from the far edge), where the pointer ends, and
    // what the client under it sees.
    void pointer_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QStringList>("seen");
        const auto row = [](const char *name, QPoint from, QList<int> codes, QPoint to,
                            QStringList seen = {}) {
            QTest::newRow(name) << from << codes << to << seen;
        };
        row("right stops 10 short of the edge", { -12, 300 }, { 2, 2, 2 }, { -10, 300 });
        row("right of that, right stays and left moves", { -5, 300 }, { 2, 4 }, { -6, 300 });
        row("down stops 20 short of the edge", { 300, -22 }, { 3, 3, 3 }, { 300, -20 });
        row("left and up move, and stop at 0", { 1, 1 }, { 4, 4, 1, 1 }, { 0, 0 });
        row("drag", { 100, 100 }, { 13, 2, 2, 3, 14 }, { 102, 101 },
            { "press 1 100,100", "motion 101,100", "motion 102,100", "motion 102,101",
              "release 1 102,101" });
        row("codes that do nothing", { 100, 100 }, { 0, 5, 6, 7, 8, 9, 15, -1 }, { 100, 100 });
    }
    void pointer()
    {
        QFETCH(QPoint, from);
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, seen);
        const QSize screen(DisplayWidth(display, 0), DisplayHeight(display, 0));
        const auto onScreen = [&](QPoint p) {
            return QPoint(p.x() < 0 ? screen.width() + p.x() : p.x(),
                          p.y() < 0 ? screen.height() + p.y() : p.y());
        };
        QCursor::setPos(onScreen(from));
        client.clear();
        platform.caretMayHaveMoved();
        for (int code : codes)
            mouse.start(code);
        QFETCH(QPoint, to);
        QCOMPARE(QCursor::pos(), onScreen(to));
        QCOMPARE(client.waitForPointer(seen), seen);
        // A click may move the caret, a motion does not; either is told once.
        QCOMPARE(platform.caretMayHaveMoved(), !seen.isEmpty());
        QVERIFY(!platform.caretMayHaveMoved());
    }

    // Point mode's spot is in Qt's pixels, the pointer in the server's: the same spot at any scale
    // (this runs again with QT_SCALE_FACTOR=2).
    void pointAt()
    {
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        QCOMPARE(ratio, qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? 2. : 1.);
        mouse.moveTo(100, 50);
        const auto native = [this] {
            Window root, child;
            int x = 0, y = 0, wx, wy;
            unsigned mask;
            XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy,
                          &mask);
            return QPoint(x, y);
        };
        QTRY_COMPARE(native(), QPoint(100, 50) * ratio);
        QCOMPARE(mouse.position(), QPoint(100, 50));
    }

    // A window manager that focuses the program's window, its frame or a window inside it: the
    // next poll of the switch hands the focus back to the window that had it before.
    void focusGivenBack_data()
    {
        QTest::addColumn<QString>("focused"); // one after the other
        QTest::addColumn<QString>("after");
        const auto row = [](const char *name, const char *focused, const char *after) {
            QTest::newRow(name) << QString::fromLatin1(focused) << QString::fromLatin1(after);
        };
        row("its window", "own", "client");
        row("its frame", "frame", "client");
        row("inside it", "inner", "client");
        row("to the last other", "other frame", "other");
        row("another window keeps it", "other", "other");
    }
    void focusGivenBack()
    {
        Window focus = None;
        int revert = 0, escape = 0, key = 0;
        XGetInputFocus(display, &focus, &revert);
        QMap<QString, Window> w { { "client", focus } };
        XSetWindowAttributes unmanaged {};
        unmanaged.override_redirect = True;
        for (const auto &[name, parent] :
             { std::pair("frame", ""), { "own", "frame" }, { "inner", "own" }, { "other", "" } }) {
            w[name] = XCreateWindow(display, *parent ? w[parent] : DefaultRootWindow(display), 400,
                                    400, 50, 50, 0, CopyFromParent, InputOutput, CopyFromParent,
                                    CWOverrideRedirect, &unmanaged);
            XMapWindow(display, w[name]);
        }
        const auto focusOn = [&](const QString &name) {
            XSetInputFocus(display, w[name], RevertToParent, CurrentTime);
            XSync(display, False);
            platform.switchStates(&escape, &key); // the poll that hands it back
        };
        const auto restore = qScopeGuard([&] {
            focusOn("client");
            XDestroyWindow(display, w["frame"]);
            XDestroyWindow(display, w["other"]);
        });
        platform.keepUnfocused(w["own"]);
        focusOn("client");
        QFETCH(QString, focused);
        for (const QString &name : focused.split(u' '))
            focusOn(name);
        XSync(display, False);
        XGetInputFocus(display, &focus, &revert);
        QFETCH(QString, after);
        QCOMPARE(w.key(focus), after);
    }

    // The autostart entry is valid, and its Exec line, unescaped and read by a shell, is the
    // program's path with spaces, % and a quote; a link planted as the file written beside it is
    // replaced, its target untouched; only the user may read the entry.
    void signIn()
    {
        const QString path = u"/opt/My Tools/100% \"kelo\"/kelo"_s;
        QTemporaryDir config;
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", saved); });
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString entry = config.filePath("autostart/kelo.desktop");
        QVERIFY(QDir().mkpath(config.filePath("autostart"))
                && QFile::link(config.filePath("planted"), entry + u".new"_s));
        platform.addSignInLaunch("Kelo#", path.toStdString());
        QVERIFY(!QFile::exists(config.filePath("planted")) && !QFile::exists(entry + u".new"_s));
        QCOMPARE(QFile::permissions(entry)
                     & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QFile::Permissions());
        QCOMPARE(QProcess::execute("desktop-file-validate", { entry }), 0);
        const char *execIs
            = R"sh(test "$(eval "printf %s $(sed -n 's/^Exec=//; T; s/\\\\/\\/g; s/%%/%/g; p' "$0")")" = "$1")sh";
        QCOMPARE(QProcess::execute("sh", { "-c", execIs, entry, path }), 0);
        QCOMPARE(QString::fromStdString(platform.signInLaunch("Kelo#")), path);
        platform.removeSignInLaunch("Kelo#");
        QVERIFY(!QFile::exists(entry));
        QVERIFY(platform.signInLaunch("Kelo#").empty());
    }

    // The accessibility bus tells a GTK form's password field from its other fields as the focus
    // moves, on a session bus of the test's own: a letter typed while the field is reported goes
    // into it, one typed after it is no longer reported does not (last: the form takes the focus).
    void passwordField()
    {
        QProcess bus, form;
        bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
        QVERIFY2(bus.waitForReadyRead(5000), "no dbus-daemon (package dbus)");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        X11Platform watched;
        QVERIFY(!watched.passwordFocused());
        form.start(u"zenity"_s, { u"--forms"_s, u"--add-entry=a"_s, u"--add-password=b"_s });
        const auto key = [&](std::initializer_list<int> vks) {
            for (int vk : vks)
                watched.keyEvent(vk, false);
            for (auto vk = std::rbegin(vks); vk != std::rend(vks); ++vk)
                watched.keyEvent(*vk, true);
        };
        for (int i = 1; i <= 40 && !watched.passwordFocused(); ++i) {
            if (i % 4 == 0)
                key({ 0x09 });
            QTest::qWait(250);
        }
        QVERIFY2(watched.passwordFocused(), "zenity, at-spi2-core: no password field seen");
        key({ 'X' });
        key({ 0x10, 0x09 });
        QTRY_VERIFY(!watched.passwordFocused());
        key({ 'Y' });
        for (int vk : { 0x09, 0x09, 0x09, 0x0D }) // to OK, past the password field and Cancel
            key({ vk });
        QVERIFY(form.waitForFinished(5000));
        QCOMPARE(form.readAllStandardOutput().trimmed().toLower(), "y|x");
        bus.kill(), bus.waitForFinished();
    }

private:
    Display *display = XOpenDisplay(nullptr);
    // Reads in bursts 200 ms apart: a keycode lent again too soon types the wrong character.
    TypingTarget client { std::chrono::milliseconds(200) };
    X11Platform platform;
    KeyM keym { &platform };
    Mouse mouse { &platform };
};

QTEST_MAIN(TestX11Platform)
#include "tst_x11platform.moc"
