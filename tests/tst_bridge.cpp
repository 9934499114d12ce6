// The native bridge as the front end reaches it, with real SDL virtual game pads. Wrappers end
// the process when destroyed, so every one made here is left alive on purpose.

#include "recordingplatform.h"
#include "wrapper.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The test has its own main; SDL must not rename it on Windows.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <csignal>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A game pad plugged in while it exists, with its own share of SDL (it may come before a Wrapper).
struct VirtualPad
{
    const int sdl = SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_Joystick *const handle
        = SDL_JoystickOpen(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 0, 6, 0));
    ~VirtualPad()
    {
        if (const int i = index(); i >= 0)
            SDL_JoystickDetachVirtual(i);
        SDL_JoystickClose(handle);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    void set(int button, bool down) { SDL_JoystickSetVirtualButton(handle, button, down); }
    int index() const // where SDL lists the pad now, -1 once it is gone
    {
        int i = SDL_NumJoysticks() - 1;
        while (i >= 0 && SDL_JoystickGetDeviceInstanceID(i) != SDL_JoystickInstanceID(handle))
            --i;
        return i;
    }
};

} // namespace

class TestBridge : public QObject
{
    Q_OBJECT

private slots:
    // Kelo# must still end when the session asks: SDL, first started here, must not take SIGTERM.
    void initTestCase()
    {
        Platform::replaceSystem(&rec);
        QVERIFY2(!SDL_WasInit(SDL_INIT_JOYSTICK), "another SDL user is already up");
        std::signal(SIGTERM, SIG_DFL);
        wrap = new Wrapper;
        QVERIFY2(std::signal(SIGTERM, SIG_DFL) == SIG_DFL, "SIGTERM became an SDL event");
    }

    // The front end calls the bridge by name: every name it calls is there.
    void frontEndCalls()
    {
        QSet<QByteArray> names;
        for (int i = 0; i < Wrapper::staticMetaObject.methodCount(); ++i)
            names << Wrapper::staticMetaObject.method(i).name();
        static const QRegularExpression call(u"\\bwrap\\.(\\w+)\\("_s);
        QStringList called, missing;
        const QDir front(u":/"_s, u"*.qml *.js"_s);
        for (const QString &name : front.entryList()) {
            QFile file(front.filePath(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            for (auto it = call.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();)
                called << it.next().captured(1);
        }
        for (const QString &name : called) {
            if (!names.contains(name.toLatin1()))
                missing << name;
        }
        QVERIFY2(called.size() > 40 && missing.isEmpty(), qPrintable(missing.join(u' ')));
    }

    // "+a"/"-a" plugs pad a in/out, "a3+"/"a3-" presses/releases its button 3, "new" starts a
    // Wrapper (on device 0), "pick 1"/"pick a" chooses a device, "hold 100" asks for 100 ms holds,
    // "t 40" lets 40 ms pass, "step 3" makes button 3 the step button; expected: "nb 2" listed,
    // "bt 120" from the next polls (1 a pick, 2 a step), "names" of devices -1 to nb, a letter per
    // name, "-" none, "down 4" the lowest button held.
    void pads_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("buttons down at once are one press; one down at the start is one")
            << "+a; a2+; new; bt 100; a0+; bt 0; a2-; bt 0; a0-; bt 0; a5+; bt 1; a0+; bt 0; "
               "a5-; bt 0; a0-; bt 0; a2+; bt 1";
        // Pads of one model share a name. Plugged back in, a pad is a new device, off until
        // picked; picks out of range keep it.
        QTest::newRow("another leaving, the chosen one pulled out and back")
            << "+a; +b; new; names -AA-; pick 1; -a; +c; nb 2; c0+; bt 0; b0+; bt 1; -b; nb 1; "
               "bt 00; +d; d0+; nb 2; bt 00; pick d; bt 10; pick 5; pick -1; d0-; bt 0; d0+; bt 1";
        QTest::newRow("held long enough it counts once, while still down; shorter never")
            << "+a; new; hold 100; a0+; bt 0; t 64; bt 0; t 40; bt 1; t 32; bt 0; a0-; bt 0; "
               "a0+; bt 0; t 96; a0-; bt 0; t 100; bt 0; hold 0; a0+; bt 1";
        QTest::newRow("the step button steps, held as long as a pick; the others pick")
            << "+a; new; down -1; step 3; a4+; a3+; down 3; bt 1; a4-; bt 0; a3-; bt 0; a3+; bt 2; "
               "a3-; a0+; bt 1; hold 100; a0-; a3+; bt 0; t 104; bt 2";
        QTest::newRow("none set or out of range: every button picks")
            << "+a; new; step 3; step -1; a3+; bt 1; a3-; bt 0; step 6; a5+; bt 1; a5-; bt 0; "
               "step 9999; a3+; bt 1";
    }
    void pads()
    {
        QFETCH(QString, steps);
        std::map<QChar, std::unique_ptr<VirtualPad>> pads;
        Wrapper *w = nullptr;
        now = 0;
        for (const QString &step : steps.split(u"; "_s)) {
            const QString op = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            QString got = op == u"bt" || op == u"names" ? QString() : arg;
            if (op == u"new") {
                w = new Wrapper;
                w->setClock([this] { return now; });
            } else if (op == u"step")
                w->setStepButton(arg.toInt());
            else if (op == u"down")
                got = QString::number(w->padButton());
            else if (op == u"hold")
                w->setHold(arg.toInt());
            else if (op == u"t")
                now += arg.toInt();
            else if (op == u"pick")
                w->setjoy(pads.count(arg[0]) ? pads[arg[0]]->index() : arg.toInt());
            else if (op == u"nb")
                got = QString::number(w->joynb());
            else if (op == u"bt")
                while (got.size() < arg.size())
                    got += QString::number(w->press(u"stick"_s) < 0          ? 0
                                               : w->pressSource() == u"step" ? 2
                                                                             : 1);
            else if (op == u"names") {
                QStringList seen;
                for (int i = -1; i <= w->joynb(); ++i) {
                    const QString name = w->joynm(i);
                    if (!name.isEmpty() && !seen.contains(name))
                        seen << name;
                    got += name.isEmpty() ? u'-' : QChar(char16_t(u'A' + seen.indexOf(name)));
                }
            } else if (op[0] == u'+')
                pads[op[1]] = std::make_unique<VirtualPad>();
            else if (op[0] == u'-')
                pads.erase(op[1]);
            else
                pads[op[0]]->set(op.mid(1).chopped(1).toInt(), op.endsWith(u'+'));
            QVERIFY2(got == arg, qPrintable(step + " gave " + got));
        }
    }

    // The state of Escape or the switch key (F8) at each 32 ms poll: idle 0,
    // tapped 1, down 2, both 3, let go and pressed again 7; "T": kelo types Escape, no press.
    // Escape mode 0 is a switch no application sees, 1 one they see too, 2 no switch. A press
    // is taken at down, or at release when down is off, after the hold.
    void switchEdges_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("hold");
        QTest::addColumn<int>("escape");
        QTest::addColumn<bool>("down");
        QTest::addColumn<QString>("states");
        QTest::addColumn<QString>("presses");
        const auto row = [](const char *name, const char *what, int hold, int escape, bool down,
                            const char *states, const char *presses) {
            QTest::newRow(name) << QString::fromLatin1(what) << hold << escape << down
                                << QString::fromLatin1(states) << QString::fromLatin1(presses);
        };
        row("Escape held, tapped between polls, let go and pressed again", "esc", 0, 0, true,
            "00322001002720", "00100001001100");
        row("Escape at its release when asked", "esc", 0, 0, false, "0220", "0001");
        row("key held 160 ms of 100, then a tap", "key", 100, 0, true, "0222220100", "0000010000");
        row("Escape typed, then the user's taps, seen or not", "esc", 0, 0, true,
            "0100T10010T00010", "01000001000010");
        row("Escape the applications see too", "esc", 0, 1, true, "0100", "0100");
        row("Escape as no switch", "esc", 0, 2, true, "0100", "0000");
    }
    void switchEdges()
    {
        QFETCH(QString, what);
        QFETCH(int, hold);
        QFETCH(int, escape);
        QFETCH(QString, states);
        const bool key = what == u"key";
        rec.escape = rec.switchKey = 0;
        now = 0;
        auto *w = new Wrapper;
        w->setClock([this] { return now; });
        w->setHold(hold);
        w->setEscape(escape);
        QFETCH(bool, down);
        w->setPressDown(down);
        w->setKey(key ? u"F8"_s : QString(), key);
        QCOMPARE(rec.switchKeyGrab, key);
        QCOMPARE(rec.escapeGrab, escape == 0);
        QString presses;
        for (QChar state : states) {
            if (state == u'T') {
                w->keyb(0x1b);
                continue;
            }
            const int d = state.digitValue(), value = (d & 2) * 0x4000 | (d & 1) | (d & 4) / 2;
            (key ? rec.switchKey : rec.escape) = value;
            now += 32;
            presses += QString::number(w->press(u"stick"_s) >= 0 ? 1 : 0);
        }
        QTEST(presses, "presses");
    }

    // The help page in the language asked for, English for any other code (never a path).
    void helpPage()
    {
        QStandardPaths::setTestModeEnabled(true);
        for (const auto &[code, lang] :
             { std::pair(u"fr"_s, "lang=\"fr\""), std::pair(u"xx"_s, "lang=\"en\""),
               std::pair(u"../help/fr"_s, "lang=\"en\"") }) {
            QFile page(wrap->helpPage(code).toLocalFile());
            QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(code));
            QVERIFY2(page.readAll().contains(lang), qPrintable(code));
        }
    }

    // The sign-in entry follows the menu.
    void signInEntryAndClick()
    {
        wrap->osstart();
        QCOMPARE(QString::fromStdString(rec.signInLaunch("Kelo#")),
                 QCoreApplication::applicationFilePath());
        wrap->osstop();
        QVERIFY(rec.signInLaunch("Kelo#").empty());
#ifdef Q_OS_LINUX
        // No media back end before the first click (with no sound server, none after it either).
        const auto mediaUp = [] {
            QFile maps(u"/proc/self/maps"_s);
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/multimedia/lib");
        };
        wrap->loadSound(QUrl(u"qrc:/click.wav"_s));
        QVERIFY(!mediaUp());
        wrap->playSound();
        QVERIFY(!mediaUp());
#endif
    }

    // A word typed into a password field, even in part, is not learned, and the window is told
    // to say none of it; with the option off such a field is typed into as any other.
    void passwordField_data()
    {
        QTest::addColumn<bool>("kept"); // the option
        QTest::addColumn<bool>("typing"); // a password field has the focus as the letters go
        QTest::addColumn<bool>("ending"); // ... and as the word ends
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("learned");
        QTest::newRow("plain field") << true << false << false << u"zqxva"_s << true;
        QTest::newRow("password field") << true << true << true << u"zqxvb"_s << false;
        QTest::newRow("field left before the end") << true << true << false << u"zqxvc"_s << false;
        QTest::newRow("field reached at the end") << true << false << true << u"zqxvd"_s << false;
        QTest::newRow("option off") << false << true << true << u"zqxve"_s << true;
    }
    void passwordField()
    {
        QFETCH(bool, kept);
        QFETCH(bool, typing);
        QFETCH(bool, ending);
        QFETCH(QString, word);
        static QTemporaryDir home; // the learned words' file
        qputenv("HOME", home.path().toLocal8Bit());
        wrap->keepPasswords(kept);
        wrap->lang(1);
        wrap->rank(2);
        rec.password = typing;
        wrap->text(word);
        rec.password = ending;
        QCOMPARE(wrap->secret(), kept && ending ? 1 : 0);
        wrap->learn(word);
        rec.password = false;
        QTEST(wrap->t9(u"zqxv"_s).contains(word), "learned");
    }

private:
    RecordingPlatform rec;
    Wrapper *wrap = nullptr;
    qint64 now = 0; // the clock of the Wrappers made here, which outlive their cases
};

QTEST_MAIN(TestBridge)
#include "tst_bridge.moc"
