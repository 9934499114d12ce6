// The Linux platform layer against a real server: what an ordinary client receives from the
// keyboard and the pointer, the global Escape state, the keymap it borrows from, and the
// autostart entry. Runs under Xvfb; without a display it fails.

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
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "these tests need an X server (DISPLAY)");
        display = XOpenDisplay(nullptr);
        QVERIFY2(display, "cannot open the X display");
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
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &x, &y, &buttons);
        for (unsigned button = 1; button <= 5; ++button) {
            if (buttons & (Button1Mask << (button - 1)))
                XTestFakeButtonEvent(display, button, False, CurrentTime);
        }
        XSync(display, False);
        QCOMPARE(buttons & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask),
                 0u);
        char keys[32];
        XQueryKeymap(display, keys);
        QList<int> down;
        for (int keycode = 0; keycode < 256; ++keycode) {
            if (keys[keycode / 8] & (1 << (keycode % 8)))
                down << keycode;
        }
        QCOMPARE(down, QList<int>());
    }
    void cleanupTestCase()
    {
        mouse.reset();
        keym.reset();
        platform.reset();
        if (!display)
            return;
        QVERIFY2(keymapOf(display) == originalKeymap, "the keymap was not given back");
        XCloseDisplay(display);
    }

    // Steps as the front end sends them to KeyM ("text ab", "keyb 8", "modif 4"), or "keys"
    // typed through keyForChar and keyEvent as a layout-aware caller would, in a given state
    // of the keyboard; and the text the client ends up with.
    void typing_data()
    {
        QTest::addColumn<QString>("keyboard");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");
        // Letters the US keymap lacks, more of them than there are keycodes to borrow: each is
        // lent again while the client may still be reading the last one.
        const QString missing = QString::fromUtf16(u"\u0175\u0177\u0109\u011d\u0125\u0135\u015d"
                                                   u"\u016d\u017e\u0161\u010d\u0159\u0119\u0105");
        QString ascii;
        for (char16_t c = 0x20; c < 0x7f; ++c)
            ascii += QChar(c);

        // On the French second layout, a is where q is on the US one and é has a key. First,
        // so that the copy of the keymap it is restored from holds no borrowed keycode.
        // Shift on é, which sits on the key of 2 there, types a capital É.
        QTest::newRow("second layout")
            << "us,fr"
            << QStringList { QString::fromUtf16(u"text aq\u00e9w"), "modif 4", "text a", "modif 4",
                             QString::fromUtf16(u"text \u00e9") }
            << QString::fromUtf16(u"aq\u00e9wA\u00c9");
        // Latin-1, the euro sign, CJK and a character beyond the BMP (two UTF-16 units),
        // which Backspace takes away again; Enter ends the line.
        QTest::newRow("text, Backspace, Enter")
            << "us"
            << QStringList { QString::fromUtf16(
                                 u"text Hi, w\u00f6rld \u00e9\u20ac\u4e2d\U0001F600"),
                             "keyb 8", "keyb 13", "text ok" }
            << QString::fromUtf16(u"Hi, w\u00f6rld \u00e9\u20ac\u4e2d\nok");
        QTest::newRow("more missing characters than borrowed keycodes")
            << "us" << QStringList { "text " + missing, "text  " + missing }
            << missing + " " + missing;
        // Characters without a key type nothing.
        QTest::newRow("ASCII through keys")
            << "us" << QStringList { "keys " + ascii + QString::fromUtf16(u"\u00e9\u4e2d") }
            << ascii;
        QTest::newRow("Ctrl chord") << "us" << QStringList { "modif 1", "text cv" } << "<C-c>v";
        QTest::newRow("Alt on a shifted sign")
            << "us" << QStringList { "modif 3", "text !" } << "<A-1>";
        QTest::newRow("one-shot and sticky Shift")
            << "us" << QStringList { "modif 4", "text ab", "modif 5", "text cd",
                                     "text e",  "modif 5", "text f" }
            << "AbCDEf";
        QTest::newRow("Caps with a letter the layout lacks")
            << "us" << QStringList { "modif 5", QString::fromUtf16(u"text M\u00e4dchen") }
            << QString::fromUtf16(u"M\u00c4DCHEN");
        QTest::newRow("Caps Lock, then Caps")
            << "us caps" << QStringList { "text aB1!", "modif 5", "text ab" } << "aB1!AB";
    }
    void typing()
    {
        QFETCH(QString, keyboard);
        QFETCH(QStringList, steps);
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

        for (const QString &step : steps) {
            const QString op = step.section(u' ', 0, 0), arg = step.mid(op.size() + 1);
            if (op == u"text")
                keym->text(units(arg));
            else if (op == u"keyb")
                keym->keyb(arg.toInt());
            else if (op == u"modif")
                keym->modif(arg.toInt());
            for (QChar c : op == u"keys" ? arg : QString()) {
                const int key = platform->keyForChar(c.unicode());
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

    // Pointer codes from a position (a negative coordinate counts from the screen's far edge,
    // whatever size the display is), where the pointer ends, and what the client under it sees.
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
        const QSize screen(DisplayWidth(display, DefaultScreen(display)),
                           DisplayHeight(display, DefaultScreen(display)));
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
        const QString file = config.filePath("autostart/kelo.desktop");

        // desktop-file-validate (desktop-file-utils) says why on the test's output.
        QCOMPARE(QProcess::execute("desktop-file-validate", { file }), 0);
        QFile entry(file);
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

    // Bit 15 while Escape is down, bit 0 once for each press since the last poll: a tap that
    // begins and ends between two polls is reported exactly once. Other keys are not Escape.
    void escape()
    {
        const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
        const auto fake = [&](bool press) {
            XTestFakeKeyEvent(display, escape, press, CurrentTime);
            XSync(display, False);
        };
        platform->escapeState();
        QCOMPARE(platform->escapeState(), 0);
        fake(true);
        fake(false);
        QCOMPARE(platform->escapeState(), 1);
        QCOMPARE(platform->escapeState(), 0);
        fake(true);
        QCOMPARE(platform->escapeState(), 0x8001);
        QCOMPARE(platform->escapeState(), 0x8000);
        fake(false);
        QCOMPARE(platform->escapeState(), 0);
        keym->keyb(13);
        QCOMPARE(platform->escapeState(), 0);
    }

    // A layer that goes away releases what it holds and gives back every keycode it borrowed.
    void keymapRestoredAndKeysReleased()
    {
        const std::vector<KeySym> before = keymapOf(display);
        const QString text = QString::fromUtf16(u"\u0175\u00e9\u4e2d\u0177");
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
