// The joystick and Escape switches as the front end polls them: real SDL virtual game pads and
// the Escape key through the recording platform, read through the Wrapper's entry points.
// Wrappers end the process when destroyed, so every one made here is left alive on purpose.

#include "qjoystick.h"
#include "recordingplatform.h"
#include "wrapper.h"

#include <QList>
#include <QTest>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr auto padName = "Kelo Test Pad";
constexpr int padButtons = 6;

// One virtual game pad, plugged in while it exists. A noisy pad moves its stick on every SDL
// update, as a worn analogue stick does, so each pump finds a new event waiting.
class VirtualPad
{
public:
    explicit VirtualPad(bool noisy = false)
        : noisy(noisy)
    {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = 1;
        desc.nbuttons = padButtons;
        desc.name = padName;
        desc.userdata = this;
        desc.Update = &VirtualPad::update;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        handle = index < 0 ? nullptr : SDL_JoystickOpen(index);
        if (handle)
            id = SDL_JoystickInstanceID(handle);
    }
    ~VirtualPad() { unplug(); }
    VirtualPad(const VirtualPad &) = delete;
    VirtualPad &operator=(const VirtualPad &) = delete;

    bool plugged() const { return handle && SDL_JoystickGetAttached(handle); }
    void press(int button) { SDL_JoystickSetVirtualButton(handle, button, SDL_PRESSED); }
    void release(int button) { SDL_JoystickSetVirtualButton(handle, button, SDL_RELEASED); }

    // Where SDL lists the pad now, -1 once it is gone.
    int index() const
    {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id)
                return i;
        }
        return -1;
    }

    void unplug()
    {
        if (!handle)
            return;
        if (const int i = index(); i >= 0)
            SDL_JoystickDetachVirtual(i);
        SDL_JoystickClose(handle);
        handle = nullptr;
    }

private:
    static void update(void *self)
    {
        auto *pad = static_cast<VirtualPad *>(self);
        if (pad->noisy && pad->handle)
            SDL_JoystickSetVirtualAxis(pad->handle, 0, (++pad->updates & 1) ? 3000 : -3000);
    }

    const bool noisy;
    int updates = 0;
    SDL_Joystick *handle = nullptr;
    SDL_JoystickID id = -1;
};

// The results of n consecutive polls.
template<typename Poll> QList<int> polls(int n, Poll poll)
{
    QList<int> results;
    for (int i = 0; i < n; ++i)
        results.append(poll());
    return results;
}

QList<int> joybt(Wrapper *w, int n = 1)
{
    return polls(n, [w] { return w->joybt(); });
}

QList<int> joyesc(Wrapper *w, int n = 1)
{
    return polls(n, [w] { return w->joyesc(); });
}

// Virtual pads need the joystick subsystem up before a Wrapper opens one at construction; the
// test takes its own share of SDL for that, as any second SDL user in the process would.
void holdSdl()
{
    static const bool held = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    QVERIFY2(held, SDL_GetError());
}

// Sets a signal to its default action for a while and tells whether it stayed so.
class DefaultSignal
{
public:
    explicit DefaultSignal(int sig)
        : sig(sig)
    {
#ifdef Q_OS_UNIX
        struct sigaction dfl = {};
        dfl.sa_handler = SIG_DFL;
        sigaction(sig, &dfl, &saved);
#else
        saved = std::signal(sig, SIG_DFL);
#endif
    }
    ~DefaultSignal()
    {
#ifdef Q_OS_UNIX
        sigaction(sig, &saved, nullptr);
#else
        std::signal(sig, saved);
#endif
    }
    DefaultSignal(const DefaultSignal &) = delete;
    DefaultSignal &operator=(const DefaultSignal &) = delete;

    bool stillDefault() const
    {
#ifdef Q_OS_UNIX
        struct sigaction now = {};
        sigaction(sig, nullptr, &now);
        return !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_DFL;
#else
        const auto now = std::signal(sig, SIG_DFL);
        return now == SIG_DFL;
#endif
    }

private:
    const int sig;
#ifdef Q_OS_UNIX
    struct sigaction saved = {};
#else
    void (*saved)(int) = nullptr;
#endif
};

// Fails the run, instead of hanging it, when a call does not come back in time.
class Watchdog
{
public:
    explicit Watchdog(const char *what)
        : thread([this, what] {
            std::unique_lock lock(mutex);
            if (!done.wait_for(lock, std::chrono::seconds(20), [this] { return finished; }))
                qFatal("%s did not return: the joystick poll hangs", what);
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        done.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;
};

} // namespace

class TestQJoystick : public QObject
{
    Q_OBJECT
    RecordingPlatform rec;

private slots:
    void initTestCase() { Platform::replaceSystem(&rec); }

    // Runs first: it needs a process in which nothing has started SDL yet.
    void startAndStopWithoutController()
    {
        QVERIFY2(!SDL_WasInit(SDL_INIT_JOYSTICK), "another SDL user is already up");
        {
            // Kelo# must still end on Ctrl+C or a session's SIGTERM; SDL must not take those.
            DefaultSignal term(SIGTERM);
            DefaultSignal interrupt(SIGINT);
            QJoystick joystick;
            QVERIFY2(term.stillDefault(), "SIGTERM is caught and turned into an SDL event");
            QVERIFY2(interrupt.stillDefault(), "SIGINT is caught and turned into an SDL event");

            QCOMPARE(joystick.availableJoysticks(), 0);
            QCOMPARE(joystick.currentJoystick(), -1);
            QCOMPARE(joystick.getdata(), 0);
            QVERIFY(joystick.joystickNumButtons() < 0);

            joystick.stop();
            QCOMPARE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
            QCOMPARE(joystick.getdata(), 0);
        }
    }

    void noControllerAtStart()
    {
        auto *w = new Wrapper;
        QVERIFY2(w->joynb() == 0, "a real game controller is plugged in");
        QCOMPARE(joybt(w, 3), QList<int>({ 0, 0, 0 }));
        QCOMPARE(w->joynm(0), QString());
        w->setjoy(0);
        w->setjoy(-1);
        QCOMPARE(joybt(w), QList<int>({ 0 }));

        // A pad plugged in later is listed but never chosen by the native side.
        VirtualPad pad;
        QVERIFY(pad.plugged());
        pad.press(0);
        QCOMPARE(w->joynb(), 1);
        QCOMPARE(w->joynm(0), QString::fromUtf8(padName));
        QCOMPARE(joybt(w, 3), QList<int>({ 0, 0, 0 }));

        // Picking it while the button is held counts as one press.
        w->setjoy(0);
        QCOMPARE(joybt(w, 3), QList<int>({ 1, 0, 0 }));
        pad.release(0);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        pad.press(padButtons - 1);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
    }

    void heldAtFirstPollCountsOnce()
    {
        holdSdl();
        VirtualPad pad;
        QVERIFY(pad.plugged());
        pad.press(2);
        // Opens device 0 at construction, with the button already down.
        auto *w = new Wrapper;
        QCOMPARE(joybt(w, 4), QList<int>({ 1, 0, 0, 0 }));
        pad.release(2);
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        pad.press(2);
        QCOMPARE(joybt(w, 2), QList<int>({ 1, 0 }));
    }

    void overlappingButtonsGiveOnePress()
    {
        holdSdl();
        VirtualPad pad;
        QVERIFY(pad.plugged());
        auto *w = new Wrapper;
        QCOMPARE(joybt(w), QList<int>({ 0 }));

        const int a = 0;
        const int b = padButtons - 1;
        pad.press(a);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        pad.press(b);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        pad.release(a);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        pad.release(b);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        pad.press(b);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        pad.release(b);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
    }

    // Two pads of one model have the same name; only the chosen device may count.
    void chosenPadByIdentity()
    {
        holdSdl();
        VirtualPad first;
        VirtualPad second;
        QVERIFY(first.plugged() && second.plugged());
        auto *w = new Wrapper;
        QCOMPARE(w->joynb(), 2);
        QCOMPARE(w->joynm(0), QString::fromUtf8(padName));
        QCOMPARE(w->joynm(1), w->joynm(0));
        QCOMPARE(w->joynm(2), QString());
        QCOMPARE(w->joynm(-1), QString());
        QCOMPARE(w->joynm(1000), QString());

        // Device 0 is the one opened at start.
        second.press(1);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        second.release(1);
        first.press(1);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        first.release(1);
        QCOMPARE(joybt(w), QList<int>({ 0 }));

        w->setjoy(1);
        first.press(0);
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        first.release(0);
        second.press(0);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        second.release(0);
        QCOMPARE(joybt(w), QList<int>({ 0 }));

        // Out-of-range picks leave the second pad chosen.
        w->setjoy(2);
        w->setjoy(-1);
        first.press(3);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        first.release(3);
        second.press(3);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        second.release(3);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
    }

    void unplugAndReplug()
    {
        holdSdl();
        auto other = std::make_unique<VirtualPad>();
        auto chosen = std::make_unique<VirtualPad>();
        QVERIFY(other->plugged() && chosen->plugged());
        auto *w = new Wrapper;
        w->setjoy(1);

        // Another pad leaving moves the chosen one to index 0; it stays the chosen one.
        other.reset();
        QCOMPARE(w->joynb(), 1);
        VirtualPad third;
        QVERIFY(third.plugged());
        QCOMPARE(w->joynb(), 2);
        third.press(0);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        third.release(0);
        chosen->press(0);
        QCOMPARE(joybt(w), QList<int>({ 1 }));

        // Pulled out while its button is down.
        chosen.reset();
        QCOMPARE(w->joynb(), 1);
        QCOMPARE(joybt(w, 2), QList<int>({ 0, 0 }));
        third.press(4);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        third.release(4);

        // Plugged back in: a new device to SDL, off until the user picks it again.
        VirtualPad back;
        QVERIFY(back.plugged());
        QCOMPARE(w->joynb(), 2);
        back.press(0);
        QCOMPARE(joybt(w, 3), QList<int>({ 0, 0, 0 }));
        back.release(0);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        back.press(0);
        QCOMPARE(joybt(w), QList<int>({ 0 }));

        w->setjoy(back.index());
        QCOMPARE(joybt(w, 2), QList<int>({ 1, 0 }));
        back.release(0);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        back.press(5);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        third.press(5);
        back.release(5);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
    }

    // Escape fires on release; bit 15 is "down now", bit 0 "went down since the last query".
    void escapeFiresOnRelease()
    {
        rec.escape = 0;
        auto *w = new Wrapper;
        QCOMPARE(joyesc(w, 3), QList<int>({ 0, 0, 0 }));

        rec.escape = 0x8001;
        QCOMPARE(joyesc(w), QList<int>({ 0 }));
        rec.escape = 0x8000;
        QCOMPARE(joyesc(w, 4), QList<int>({ 0, 0, 0, 0 }));
        rec.escape = 0;
        QCOMPARE(joyesc(w, 3), QList<int>({ 1, 0, 0 }));

        // Tapped between two polls: only the pressed-since bit is seen, once.
        rec.escape = 1;
        QCOMPARE(joyesc(w), QList<int>({ 0 }));
        rec.escape = 0;
        QCOMPARE(joyesc(w, 2), QList<int>({ 1, 0 }));
    }

    void escapeIndependentOfJoystick()
    {
        holdSdl();
        VirtualPad pad;
        QVERIFY(pad.plugged());
        rec.escape = 0;
        auto *w = new Wrapper;
        pad.press(0);
        rec.escape = 0x8001;
        QCOMPARE(joyesc(w), QList<int>({ 0 }));
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        rec.escape = 0;
        QCOMPARE(joyesc(w), QList<int>({ 1 }));
        QCOMPARE(joybt(w), QList<int>({ 0 }));
    }

    // SDL's behaviour can be changed by its own environment variables; the switch must neither
    // go stale nor hang the front end's timer whatever they say.
    void pollUnderSdlHints()
    {
        holdSdl();
        VirtualPad pad;
        QVERIFY(pad.plugged());
        auto *w = new Wrapper;

        SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        pad.press(1);
        QCOMPARE(joybt(w), QList<int>({ 1 }));
        pad.release(1);
        QCOMPARE(joybt(w), QList<int>({ 0 }));
        SDL_ResetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS);

        VirtualPad noisy(true);
        QVERIFY(noisy.plugged());
        SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
        {
            Watchdog watchdog("joynb/joybt with a noisy pad");
            QCOMPARE(w->joynb(), 2);
            pad.press(1);
            QCOMPARE(joybt(w, 2), QList<int>({ 1, 0 }));
        }
        SDL_ResetHint(SDL_HINT_POLL_SENTINEL);
    }
};

QTEST_MAIN(TestQJoystick)
#include "tst_qjoystick.moc"
