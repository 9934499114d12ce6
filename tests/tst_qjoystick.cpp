// The joystick, Escape and chosen-key switches as the front end polls them: real SDL virtual game
// pads and the keys through the recording platform, read through the Wrapper's edge-giving polls.
// Wrappers end the process when destroyed, so every one made here is left alive on purpose.

#include "qjoystick.h"
#include "recordingplatform.h"
#include "wrapper.h"

#include <QTest>

// The test has its own main; SDL must not rename it on Windows.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <csignal>
#include <map>
#include <memory>

namespace {

// One virtual game pad, plugged in while it exists. It takes its own share of SDL, as a second
// SDL user in the process would, so it can be plugged in before a Wrapper starts SDL.
class VirtualPad
{
public:
    VirtualPad()
    {
        SDL_InitSubSystem(SDL_INIT_JOYSTICK);
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 0, 6, 0);
        handle = index < 0 ? nullptr : SDL_JoystickOpen(index);
    }
    ~VirtualPad()
    {
        if (const int i = index(); i >= 0)
            SDL_JoystickDetachVirtual(i);
        SDL_JoystickClose(handle);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    void set(int button, bool down) { SDL_JoystickSetVirtualButton(handle, button, down); }
    // Where SDL lists the pad now, -1 once it is gone.
    int index() const
    {
        int i = SDL_NumJoysticks() - 1;
        while (i >= 0 && SDL_JoystickGetDeviceInstanceID(i) != SDL_JoystickInstanceID(handle))
            --i;
        return i;
    }

private:
    SDL_Joystick *handle = nullptr;
};

// Device names from -1 to the last: a letter for each distinct name, "-" for none.
QString names(Wrapper *w)
{
    QStringList distinct;
    QString out;
    for (int i = -1; i <= w->joynb(); ++i) {
        const QString name = w->joynm(i);
        if (!name.isEmpty() && !distinct.contains(name))
            distinct << name;
        out += name.isEmpty() ? QChar(u'-') : QChar(char16_t(u'A' + distinct.indexOf(name)));
    }
    return out;
}

// The results of n button polls in a row, as digits.
QString joybt(Wrapper *w, int n = 1)
{
    QString results;
    while (n-- > 0)
        results += QString::number(w->joybt());
    return results;
}

} // namespace

class TestQJoystick : public QObject
{
    Q_OBJECT
    RecordingPlatform rec;
    qint64 now = 0; // the clock of the Wrappers made here, which outlive their cases

private slots:
    void initTestCase() { Platform::replaceSystem(&rec); }

    // Runs first, before anything has started SDL: Kelo# must still end when the session
    // asks, so SDL must not take SIGTERM.
    void sdlLeavesSigterm()
    {
        QVERIFY2(!SDL_WasInit(SDL_INIT_JOYSTICK), "another SDL user is already up");
        std::signal(SIGTERM, SIG_DFL);
        new Wrapper;
        QVERIFY2(std::signal(SIGTERM, SIG_DFL) == SIG_DFL, "SIGTERM became an SDL event");
    }

    // Steps: "+a" plugs in pad a, "-a" pulls it out, "a3+" and "a3-" press and release its
    // button 3, "new" starts a Wrapper (which opens device 0), "pick 1" or "pick a" chooses a
    // device; "nb 2" is how many are listed, "bt 100" what the next polls give, and "names"
    // the names of devices -1 to nb, a letter for each distinct name and "-" for none.
    void pads_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("none at start, one plugged in later and picked while held")
            << "new; nb 0; bt 00; names --; pick 0; +a; a0+; nb 1; names -A-; bt 00; pick 0; "
               "bt 100";
        QTest::newRow("buttons down at once are one press; one down at the start is one")
            << "+a; a2+; new; bt 100; a0+; bt 0; a2-; bt 0; a0-; bt 0; a5+; bt 1; a0+; bt 0; "
               "a5-; bt 0; a0-; bt 0; a2+; bt 1";
        // Two pads of one model have one name; out-of-range picks keep the pad chosen before.
        QTest::newRow("only the chosen one of two alike counts")
            << "+a; +b; new; nb 2; names -AA-; b3+; bt 0; b3-; a3+; bt 1; a3-; bt 0; pick 1; "
               "a3+; bt 0; a3-; b3+; bt 1; b3-; bt 0; pick 2; pick -1; a3+; bt 0; a3-; b3+; "
               "bt 1; b3-; bt 0";
        // Pulled out while held and plugged back in, a pad is a new device, off until picked.
        QTest::newRow("another leaving, the chosen one pulled out and back")
            << "+a; +b; new; pick 1; -a; +c; nb 2; c0+; bt 0; b0+; bt 1; -b; nb 1; bt 00; +d; "
               "d0+; nb 2; bt 00; pick d; bt 10";
        // "hold 100" asks for presses held 100 ms; "t 40" lets 40 ms pass.
        QTest::newRow("held long enough it counts once, while still down; shorter never")
            << "+a; new; hold 100; a0+; bt 0; t 64; bt 0; t 40; bt 1; t 32; bt 0; a0-; bt 0; "
               "a0+; bt 0; t 96; a0-; bt 0; t 100; bt 0; hold 0; a0+; bt 1";
    }
    void pads()
    {
        QFETCH(QString, steps);
        std::map<QChar, std::unique_ptr<VirtualPad>> pads;
        Wrapper *w = nullptr;
        now = 0;
        for (const QString &step : steps.split(QStringLiteral("; "))) {
            const QString op = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            QString got = arg;
            if (op == u"new") {
                w = new Wrapper;
                w->setClock([this] { return now; });
            } else if (op == u"hold")
                w->setHold(arg.toInt());
            else if (op == u"t")
                now += arg.toInt();
            else if (op == u"pick")
                w->setjoy(pads.count(arg[0]) ? pads[arg[0]]->index() : arg.toInt());
            else if (op == u"nb")
                got = QString::number(w->joynb());
            else if (op == u"bt")
                got = joybt(w, int(arg.size()));
            else if (op == u"names")
                got = names(w);
            else if (op[0] == u'+')
                pads[op[1]] = std::make_unique<VirtualPad>();
            else if (op[0] == u'-')
                pads.erase(op[1]);
            else
                pads[op[0]]->set(op.mid(1).chopped(1).toInt(), op.endsWith(u'+'));
            QVERIFY2(got == arg, qPrintable(step + " gave " + got));
        }
    }

    // The key's state at each 32 ms poll: idle (0), tapped (1), down (2), down and tapped (3);
    // "T": kelo types an Escape itself first. Escape, or the chosen key, counts on its release
    // after a hold at least that long, an Escape kelo typed is no press, and the edges are kept
    // apart from those of the pad's button, which follows the key.
    void switchEdges_data()
    {
        QTest::addColumn<int>("hold");
        QTest::addColumn<bool>("key");
        QTest::addColumn<QString>("states");
        QTest::addColumn<QString>("presses");
        QTest::addColumn<QString>("joystick");
        for (bool key : { false, true }) {
            const auto row = [&](const char *name, int hold, const char *states,
                                 const char *presses, const char *joystick) {
                QTest::addRow("%s %s", key ? "key" : "Escape", name)
                    << hold << key << QString::fromLatin1(states) << QString::fromLatin1(presses)
                    << QString::fromLatin1(joystick);
            };
            row("held over two polls, then tapped between two", 0, "0032200100", "0000010010",
                "0010000100");
            row("held 160 ms of 100, then a tap", 100, "0222220100", "0000001000", "0000010000");
            row("held 64 ms of 100", 100, "02200", "00000", "00000");
        }
        QTest::newRow("Escape typed, then the user's taps, seen or not")
            << 0 << false << "0100T10010T00010"
            << "00100000100001"
            << "01001001000010";
    }
    void switchEdges()
    {
        QFETCH(int, hold);
        QFETCH(bool, key);
        QFETCH(QString, states);
        VirtualPad pad;
        rec.escape = rec.switchKey = 0;
        now = 0;
        auto *w = new Wrapper;
        w->setClock([this] { return now; });
        w->setHold(hold);
        w->setKey(key ? QStringLiteral("F8") : QString(), key);
        QCOMPARE(rec.switchKeyGrab, key);
        QString presses, joystick;
        for (QChar state : states) {
            if (state == u'T') {
                w->keyb(0x1b);
                continue;
            }
            const int value = (state.digitValue() & 2) * 0x4000 | (state.digitValue() & 1);
            (key ? rec.switchKey : rec.escape) = value;
            pad.set(0, value != 0);
            now += 32;
            presses += QString::number(key ? w->keysw() : w->joyesc());
            joystick += joybt(w);
        }
        QTEST(presses, "presses");
        QTEST(joystick, "joystick");
    }
};

QTEST_MAIN(TestQJoystick)
#include "tst_qjoystick.moc"
