// The Linux platform layer against a real X server: what an ordinary client receives from the
// keyboard and the pointer, the global Escape state, the keymap it borrows from, and the
// autostart entry. Without a display it fails.

#include "keym.h"
#include "mouse.h"
#include "typingtarget.h"
#include "wrapper.h"
#include "x11/x11platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::vector<KeySym> keymapOf(Display *display)
{
    XSync(display, False);
    int min = 0, max = 0, width = 0;
    XDisplayKeycodes(display, &min, &max);
    KeySym *syms = XGetKeyboardMapping(display, KeyCode(min), max - min + 1, &width);
    std::vector<KeySym> out(syms, syms + (max - min + 1) * width);
    XFree(syms);
    return out;
}

} // namespace

class TestX11Platform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        display = XOpenDisplay(nullptr);
        QVERIFY2(display, "these tests need an X server (DISPLAY)");
        originalKeymap = keymapOf(display);
        QVERIFY(client.start());
        platform = std::make_unique<X11Platform>();
        keym = std::make_unique<KeyM>(platform.get());
        mouse = std::make_unique<Mouse>(platform.get());
    }
    void init()
    {
        keym->modif(0);
        client.clear();
    }
    // Whatever a case did, no key and no button is left down at the server.
    void cleanup()
    {
        Window root, child;
        int x, y;
        unsigned buttons = 0;
        char keys[32];
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &x, &y, &buttons);
        XQueryKeymap(display, keys);
        // Let go of what was left down, so that the next case starts clean.
        for (unsigned button = 1; button <= 5; ++button) {
            if (buttons & (Button1Mask << (button - 1)))
                XTestFakeButtonEvent(display, button, False, CurrentTime);
        }
        for (unsigned keycode = 0; keycode < 256; ++keycode) {
            if (keys[keycode / 8] & (1 << (keycode % 8)))
                XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        }
        XSync(display, False);
        QCOMPARE(buttons & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask),
                 0u);
        QCOMPARE(QByteArray(keys, 32), QByteArray(32, 0));
    }
    void cleanupTestCase()
    {
        mouse.reset();
        keym.reset();
        platform.reset();
        if (display)
            QVERIFY2(keymapOf(display) == originalKeymap, "the keymap was not given back");
    }

    // Steps as the front end sends them to KeyM, or "keys" typed through keyForChar and
    // keyEvent as a layout-aware caller would, in a given state of the keyboard.
    void typing_data()
    {
        QTest::addColumn<QString>("keyboard");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        // More letters the US keymap lacks than there are keycodes to borrow: each is lent
        // again while the client may still be reading the last one.
        const QString missing
            = u"\u0175\u0177\u0109\u011d\u0125\u0135\u015d\u016d\u017e\u0161\u010d\u0159\u0119\u0105"_s;
        QString ascii;
        for (char16_t c = 0x20; c < 0x7f; ++c)
            ascii += QChar(c);
        // First, so that the copy of the keymap restored after holds no borrowed keycode. On
        // the French layout a is where q is on the US one, é has a key, and Shift on é (on
        // the key of 2) types É.
        const auto row = [](const char *name, const char *keyboard, const QString &steps,
                            const QString &expected) {
            QTest::newRow(name) << QString::fromLatin1(keyboard) << steps << expected;
        };
        row("second layout", "us,fr", u"text aqéw; modif 4; text a; modif 4; text é"_s,
            u"aqéwAÉ"_s);
        row("text, Backspace, Enter", "us",
            u"text Hi, wörld é€中\U0001F600; keyb 8; keyb 13; text ok"_s, u"Hi, wörld é€中\nok"_s);
        row("more missing characters than borrowed keycodes", "us",
            "text " + missing + "; text  " + missing, missing + " " + missing);
        // Characters without a key type nothing.
        row("ASCII through keys", "us", "keys " + ascii + u"é中"_s, ascii);
        row("Ctrl chord", "us", u"modif 1; text cv"_s, u"<C-c>v"_s);
        row("Alt on a shifted sign", "us", u"modif 3; text !"_s, u"<A-1>"_s);
        row("one-shot and sticky Shift", "us",
            u"modif 4; text ab; modif 5; text cd; text e; modif 5; text f"_s, u"AbCDEf"_s);
        row("Caps with a letter the layout lacks", "us", u"modif 5; text Mädchen"_s, u"MÄDCHEN"_s);
        row("Caps Lock, then Caps", "us caps", u"text aB1!; modif 5; text ab"_s, u"aB1!AB"_s);
    }
    void typing()
    {
        QFETCH(QString, keyboard);
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        // Another layout is put in place from a copy of the keymap, which gives it back after.
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

        for (const QString &step : steps.split(u"; "_s)) {
            const QString op = step.section(u' ', 0, 0), arg = step.mid(op.size() + 1);
            const std::u16string units = arg.toStdU16String();
            if (op == u"text")
                keym->text({ units.begin(), units.end() });
            else if (op == u"keyb")
                keym->keyb(arg.toInt());
            else if (op == u"modif")
                keym->modif(arg.toInt());
            for (char16_t c : op == u"keys" ? units : std::u16string()) {
                const int key = platform->keyForChar(c);
                const bool shift = key > 0 && key & 0x100;
                if (shift)
                    platform->keyEvent(0x10, false);
                platform->keyEvent(key, false);
                platform->keyEvent(key, true);
                if (shift)
                    platform->keyEvent(0x10, true);
            }
        }
        QCOMPARE(client.waitForText(expected, 15000), expected);
    }

    // Pointer codes from a position (a negative coordinate counts from the screen's far edge),
    // where the pointer ends, and what the client under it sees.
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
        row("double click, no motion", { 100, 100 }, { 12 }, { 100, 100 },
            { "press 1 100,100", "release 1 100,100", "press 1 100,100", "release 1 100,100" });
        row("drag", { 100, 100 }, { 13, 2, 2, 3, 14 }, { 102, 101 },
            { "press 1 100,100", "motion 101,100", "motion 102,100", "motion 102,101",
              "release 1 102,101" });
        row("codes that do nothing", { 100, 100 }, { 0, 5, 6, 7, 8, 9, 15, -1 }, { 100, 100 });
    }
    void pointer()
    {
        QFETCH(QPoint, from);
        QFETCH(QList<int>, codes);
        QFETCH(QPoint, to);
        QFETCH(QStringList, seen);
        const QSize screen(DisplayWidth(display, 0), DisplayHeight(display, 0));
        const auto onScreen = [&](QPoint p) {
            return QPoint(p.x() < 0 ? screen.width() + p.x() : p.x(),
                          p.y() < 0 ? screen.height() + p.y() : p.y());
        };
        moveTo(onScreen(from));
        for (int code : codes)
            mouse->start(code);
        QCOMPARE(QCursor::pos(), onScreen(to));
        QCOMPARE(client.waitForPointer(seen), seen);
    }

    // The bridge's exit path lets go of a held click before the process ends.
    void exitReleasesHeldClick()
    {
        moveTo(QPoint(100, 100));
        QProcess child;
        child.setEnvironment(QProcess::systemEnvironment() << "KELO_TEST_HOLD_AND_EXIT=1");
        child.start(QCoreApplication::applicationFilePath());
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QStringList seen { "press 1 100,100", "release 1 100,100" };
        QCOMPARE(client.waitForPointer(seen), seen);
    }

    // The autostart entry passes the desktop's validator, and its Exec line, unquoted as a
    // shell does after the field codes are expanded, is the program's path however odd.
    void signIn_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("spaces, percent and a quote") << "/opt/My Tools/100% \"kelo\"/kelo";
        QTest::newRow("shell and escape characters") << "/opt/a$b`c\\d\\\\e/kelo";
    }
    void signIn()
    {
        QFETCH(QString, path);
        QTemporaryDir config;
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", saved); });
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        platform->addSignInLaunch("Kelo#", path.toStdString());
        QFile entry(config.filePath("autostart/kelo.desktop"));
        QCOMPARE(QProcess::execute("desktop-file-validate", { entry.fileName() }), 0);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QString exec = QRegularExpression("^Exec=(.*)$", QRegularExpression::MultilineOption)
                           .match(QString::fromUtf8(entry.readAll()))
                           .captured(1);
        QProcess shell;
        shell.start("sh", { "-c", "printf %s " + exec.replace("\\\\", "\\").replace("%%", "%") });
        QVERIFY(shell.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), path);
        QCOMPARE(QString::fromStdString(platform->signInLaunch("Kelo#")), path);

        platform->removeSignInLaunch("Kelo#");
        QVERIFY(!entry.exists());
        QVERIFY(platform->signInLaunch("Kelo#").empty());
    }

    // Bit 15 while Escape is down, bit 0 once for each press since the last poll, so a tap
    // between two polls counts once. A key typed by the program is not Escape.
    void escape()
    {
        const auto fake = [&](bool press) {
            XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Escape), press, CurrentTime);
            XSync(display, False);
        };
        platform->escapeState();
        QList<int> seen { platform->escapeState() };
        fake(true);
        fake(false);
        seen << platform->escapeState() << platform->escapeState();
        fake(true);
        seen << platform->escapeState() << platform->escapeState();
        fake(false);
        seen << platform->escapeState();
        keym->keyb(13);
        seen << platform->escapeState();
        QCOMPARE(seen, QList<int>({ 0, 1, 0, 0x8001, 0x8000, 0, 0 }));
    }

    // A grabbed switch key reaches no client, yet the layer reports it as it reports Escape, and
    // the program's own typing of that key still arrives. Without the grab the client gets it.
    void switchKey()
    {
        const KeyCode space = XKeysymToKeycode(display, XK_space);
        const auto fake = [&](bool press) {
            XTestFakeKeyEvent(display, space, press, CurrentTime);
            XSync(display, False);
        };
        QVERIFY(!platform->setSwitchKey("NoSuchKey", true));
        QVERIFY(platform->setSwitchKey("space", true));
        QList<int> seen { platform->switchKeyState() };
        fake(true);
        fake(false);
        seen << platform->switchKeyState() << platform->switchKeyState();
        fake(true);
        seen << platform->switchKeyState();
        fake(false);
        seen << platform->switchKeyState();
        QCOMPARE(seen, QList<int>({ 0, 1, 0, 0x8001, 0 }));
        keym->text(L"a b");
        QCOMPARE(client.waitForText(u"a b"_s), u"a b"_s);
        client.clear();
        QVERIFY(platform->setSwitchKey("space", false));
        fake(true);
        fake(false);
        QCOMPARE(client.waitForText(u" "_s), u" "_s);
        QVERIFY(!platform->setSwitchKey("", false));
        QCOMPARE(platform->switchKeyState(), 0);
    }

    // A layer that goes away releases what it holds and gives back every keycode it borrowed.
    void keymapRestoredAndKeysReleased()
    {
        const std::vector<KeySym> before = keymapOf(display);
        const QString text = u"ŵé中ŷ"_s;
        {
            X11Platform other;
            for (QChar c : text.first(3)) {
                other.unicodeEvent(c.unicode(), false);
                other.unicodeEvent(c.unicode(), true);
            }
            other.unicodeEvent(text.back().unicode(), false);
            other.keyEvent(0x11, false);
            QVERIFY(keymapOf(display) != before);
        }
        QCOMPARE(client.waitForText(text), text);
        QVERIFY(keymapOf(display) == before);
    }

private:
    // Puts the pointer at a root position and forgets what the client saw of it.
    void moveTo(QPoint at)
    {
        XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, at.x(), at.y());
        XSync(display, False);
        client.clear();
    }

    Display *display = nullptr;
    std::vector<KeySym> originalKeymap;
    // Reads in bursts 200 ms apart: a keycode lent again too soon types the wrong character.
    TypingTarget client { std::chrono::milliseconds(200) };
    std::unique_ptr<X11Platform> platform;
    std::unique_ptr<KeyM> keym;
    std::unique_ptr<Mouse> mouse;
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    // The child of exitReleasesHeldClick: a bridge on the real layer holds a click and goes.
    if (qEnvironmentVariableIsSet("KELO_TEST_HOLD_AND_EXIT")) {
        auto *wrap = new Wrapper;
        wrap->cursor(13);
        delete wrap;
        return 1;
    }
    TestX11Platform test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11platform.moc"
