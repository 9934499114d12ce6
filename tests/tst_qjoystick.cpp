// The joystick and Escape switches as the front end polls them: real SDL virtual game pads and
// the Escape key through the recording platform, read through the Wrapper's edge-giving polls.
// Wrappers end the process when destroyed, so every one made here is left alive on purpose.

#include "qjoystick.h"
#include "recordingplatform.h"
#include "wrapper.h"

#include <QList>
#include <QTest>

// The test has its own main; SDL must not rename it on Windows.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <csignal>
#include <memory>

namespace {

// One virtual game pad, plugged in while it exists. It takes its own share of SDL, as any
// second SDL user in the process would, so it can be plugged in before a Wrapper starts SDL.
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
    VirtualPad(const VirtualPad &) = delete;
    VirtualPad &operator=(const VirtualPad &) = delete;

    void set(int button, bool down) { SDL_JoystickSetVirtualButton(handle, button, down); }
    // Where SDL lists the pad now, -1 once it is gone.
    int index() const
    {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (handle && SDL_JoystickGetDeviceInstanceID(i) == SDL_JoystickInstanceID(handle))
                return i;
        }
        return -1;
    }

private:
    SDL_Joystick *handle = nullptr;
};

// The results of n consecutive button polls.
QList<int> joybt(Wrapper *w, int n = 1)
{
    QList<int> results;
    for (int i = 0; i < n; ++i)
        results.append(w->joybt());
    return results;
}

} // namespace

class TestQJoystick : public QObject
{
    Q_OBJECT
    RecordingPlatform rec;

private slots:
    void initTestCase() { Platform::replaceSystem(&rec); }

    // Runs first, before anything has started SDL.
    void noControllerAtStart()
    {
        QVERIFY2(!SDL_WasInit(SDL_INIT_JOYSTICK), "another SDL user is already up");
        std::signal(SIGTERM, SIG_DFL);
        auto *w = new Wrapper;
        // Kelo# must still end when the session asks; SDL must not take SIGTERM.
        QVERIFY2(std::signal(SIGTERM, SIG_DFL) == SIG_DFL, "SIGTERM became an SDL event");
        QVERIFY2(w->joynb() == 0, "a real game controller is plugged in");
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        w->setjoy(0);
        QCOMPARE(w->joynm(0), QString());

        // A pad plugged in later is listed but not chosen; picking it while its button is held
        // counts as one press.
        VirtualPad pad;
        pad.set(0, true);
        QCOMPARE(w->joynb(), 1);
        QVERIFY(!w->joynm(0).isEmpty());
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        w->setjoy(0);
        QCOMPARE(joybt(w, 3), QList<int>({ 1, 0, 0 }));
    }

    void pressesCountOnce()
    {
        VirtualPad pad;
        pad.set(2, true);
        auto *w = new Wrapper; // opens device 0 with its button already down
        QCOMPARE(joybt(w, 3), QList<int>({ 1, 0, 0 }));
        // Buttons down at once are one press, until all are up again.
        QList<int> seen;
        for (const auto [button, down] :
             { std::pair(0, true), std::pair(2, false), std::pair(0, false), std::pair(5, true),
               std::pair(0, true), std::pair(5, false), std::pair(0, false), std::pair(2, true) }) {
            pad.set(button, down);
            seen += joybt(w);
        }
        QCOMPARE(seen, QList<int>({ 0, 0, 0, 1, 0, 0, 0, 1 }));
    }

    // Two pads of one model have the same name; only the chosen device may count.
    void chosenPadByIdentity()
    {
        VirtualPad first, second;
        auto *w = new Wrapper;
        QCOMPARE(w->joynb(), 2);
        QCOMPARE(w->joynm(1), w->joynm(0));
        QCOMPARE(w->joynm(2), QString());
        QCOMPARE(w->joynm(-1), QString());

        // Device 0 is chosen at start; out-of-range picks keep the pad chosen before them.
        for (int pick : { 0, 1, 2, -1 }) {
            w->setjoy(pick);
            VirtualPad &chosen = pick == 0 ? first : second, &other = pick == 0 ? second : first;
            other.set(3, true);
            QCOMPARE(joybt(w), QList<int>({ 0 }));
            other.set(3, false);
            chosen.set(3, true);
            QCOMPARE(joybt(w), QList<int>({ 1 }));
            chosen.set(3, false);
            QCOMPARE(joybt(w), QList<int>({ 0 }));
        }
    }

    void unplugAndReplug()
    {
        auto other = std::make_unique<VirtualPad>();
        auto chosen = std::make_unique<VirtualPad>();
        auto *w = new Wrapper;
        w->setjoy(1);

        // Another pad leaving moves the chosen one to index 0; it stays the chosen one.
        other.reset();
        VirtualPad third;
        QCOMPARE(w->joynb(), 2);
        third.set(0, true);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        chosen->set(0, true);
        QCOMPARE(joybt(w), QList<int>({ 1 }));

        // Pulled out while its button is down, then plugged back in: a new device to SDL, off
        // until the user picks it again.
        chosen.reset();
        QCOMPARE(w->joynb(), 1);
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        VirtualPad back;
        back.set(0, true);
        QCOMPARE(w->joynb(), 2);
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        w->setjoy(back.index());
        QCOMPARE(joybt(w, 2), QList<int>({ 1, 0 }));
    }

    // Escape fires on release; bit 15 is "down now", bit 0 "went down since the last query".
    // Its edge is kept apart from the joystick's.
    void escapeEdges()
    {
        VirtualPad pad;
        rec.escape = 0;
        auto *w = new Wrapper;
        QList<int> esc, bt;
        // Up at start, held over two polls, released, then tapped between two polls; the pad's
        // button follows the key.
        for (int state : { 0, 0, 0x8001, 0x8000, 0x8000, 0, 0, 1, 0, 0 }) {
            rec.escape = state;
            pad.set(0, state != 0);
            esc << w->joyesc();
            bt << w->joybt();
        }
        QCOMPARE(esc, QList<int>({ 0, 0, 0, 0, 0, 1, 0, 0, 1, 0 }));
        QCOMPARE(bt, QList<int>({ 0, 0, 1, 0, 0, 0, 0, 1, 0, 0 }));
    }
};

QTEST_MAIN(TestQJoystick)
#include "tst_qjoystick.moc"
