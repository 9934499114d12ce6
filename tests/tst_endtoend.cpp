#include "kelorunner.h"
#include "predictor.h"
#include "scanpicture.h"
#include "soundserver.h"
#include "typingtarget.h"

#include <QCursor>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

#include <functional>
#include <random>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A period long enough that reading the screen, a 100 ms press and kelo's 32 ms poll fit well
// inside one highlight on a loaded machine; a press only on a highlight at most 400 ms old.
constexpr int periodMs = 1000, freshMs = 400, holdMs = 100;

// One press of a walk: on a group (entry -1), or on line entry of its list of lines lines. Group
// 0 is the prediction pad, whose row no picture reads: its entry 0 is lit from the press on.
struct Step
{
    int group, entry = -1, lines = 0;
};

#define STEP(done) QVERIFY2(done, qPrintable(why)) // a step that fails says why

// The real program under a window manager, driven with one switch; what it types and points is
// seen by another client, under every window, that has the keyboard focus.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        STEP((display = KeloRunner::openDisplay(&why)));
        QVERIFY2(target.start(), "the window typed into did not get the keyboard focus");
    }
    void cleanup() { clicks = nullptr; }

    // A first start: the 556 x 230 window centred on the free desktop. With the Escape key alone,
    // pressed when the screen shows the wanted position lit: "how ... world" typed with a chosen
    // prediction and a next word by context, a drag in the mouse view, a pause; French, the headset and the bottom left
    // picked from the menus; SIGTERM with the button held. The next start finds every choice as
    // it was left and the headset's blinks (the simulator is the service) work it; however kelo
    // is ended then, it ends by itself with status 0 and comes back where it was.
    void wholeProgram()
    {
        QTemporaryDir home;
        kelo = std::make_unique<KeloRunner>(display, home.path());
        QVERIFY(kelo->writeSettings(
            { { u"startup"_s, u"2"_s }, { u"s2v"_s, u"20"_s }, { u"ranking"_s, u"3"_s } }));
        STEP(kelo->start(&why)); // a period of 1000 ms; a slow glide
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(kelo->geometry(),
                 QRect(area.x() + (area.width() - 556) / 2, area.y() + (area.height() - 230) / 2,
                       556, 230));
        STEP(titlesShow({ "Language", "Options", "View", "Position", "Devices", "Quit", "?" }));
        // h, o, w and the first prediction, "how "; the first of the next words the context
        // gives right after it, before any letter; then w, o, r, l, d.
        Predictor predictor(home.filePath(u"words.txt"_s));
        predictor.lang(1);
        predictor.rank(3);
        predictor.learn(u"how");
        const QString next = u"how "_s + predictor.next().first() + u" world"_s;
        QVERIFY2(!next.contains(u"  "_s), "the model offers no next word after \"how\"");
        // A chosen word sends the scan on from the first group, the next words at the pad.
        STEP(walk({ { 2 }, { 2, 1, 6 }, { 3 }, { 3, 2, 6 }, { 4 }, { 4, 4, 8 }, { 0 }, { 0, 0 } })
             && kelo->waitForHighlight(1, -1, 0, lastPress, freshMs, 8 * periodMs, &why)
             && walk({ { 0 }, { 0, 0 }, { 4 }, { 4, 4, 8 }, { 3 }, { 3, 2, 6 }, { 3 }, { 3, 5, 6 },
                       { 2 }, { 2, 5, 6 }, { 1 }, { 1, 3, 6 } }));
        QCOMPARE(target.waitForText(next), next);
        // "world" completed by its first prediction; Shift from the special keys, back to the
        // letters, t, and the first prediction, typed with the capital. No press of the switch
        // reached the client as Escape (the client shows it as <Esc>). The short list of T-ESC
        // opens below its face: the picture reads its first three lines, above the indicator.
        predictor.learn(next.section(u' ', 1, 1));
        const QString world = predictor.t9(u"world").first();
        predictor.learn(world);
        QString capital = predictor.t9(u"t").first();
        capital[0] = capital[0].toUpper();
        const QString typed = next.section(u' ', 0, 1) + u' ' + world + u' ' + capital + u' ';
        STEP(walk({ { 0 }, { 0, 0 }, { 6 }, { 6, 2, 9 }, { 2 }, { 2, 1, 3 }, { 6 }, { 6, 0, 9 },
                    { 4 }, { 4, 1, 8 }, { 0 }, { 0, 0 } }));
        QCOMPARE(target.waitForText(typed), typed);

        // KeyB's Mouse; a held click, the right arrow, a stop on the left arrow, the centre to
        // let go: the client sees a press, motion to the right only, a release.
        STEP(walk({ { 6 }, { 6, 4, 9 } }) && holdAt(QPoint(80, 100))
             && walk({ { 5 }, { 1 }, { 3 } }));
        QTRY_VERIFY_WITH_TIMEOUT(target.pointer().join(u' ').contains(u"release"), 3000);
        why = fromPress(target.pointer()).join(u", ");
        static const QRegularExpression drag(
            u"^press 1 80,100(, motion \\d+,100)+, release 1 (\\d+),100$"_s);
        STEP(drag.match(why).captured(2).toInt() >= 100);

        // The centre's pause minimises the window; the next press only brings it back.
        STEP(walk({ { 3 }, { 3, 5, 8 } }));
        QTRY_VERIFY_WITH_TIMEOUT(kelo->geometry().isEmpty(), 3000);
        target.clear();
        lastPress = kelo->pressEscape(holdMs);
        QTRY_VERIFY_WITH_TIMEOUT(!kelo->geometry().isEmpty(), 3000);
        STEP(kelo->waitForHighlight(1, -1, 0, lastPress, freshMs, 8 * periodMs, &why));
        QVERIFY(target.pointer().isEmpty() && target.text().isEmpty());

        // Français, second of the Language menu, relabels the window at once. The Devices menu
        // lists the headset second once the service is connected. Bottom left, fourth of five.
        clickMenu(0, 3.0 / 8);
        const QStringList french { "Langue",    "Options", "Affichage", "Position",
                                   "Appareils", "Quitter", "?" };
        QVERIFY2(QTest::qWaitFor([&] { return titlesShow(french); }, 3000), qPrintable(why));
        QProcess service;
        service.start(QStringLiteral(KELO_HEADSETSIM), { u"--strength"_s, u"200"_s });
        QVERIFY2(service.waitForReadyRead(5000) && service.readAll().contains("listening"),
                 "the headset simulator is not listening on 127.0.0.1:13854");
        for (int i = 0; i < 10 && kelo->setting(u"source"_s) != u"headset"; ++i)
            clickMenu(4, 3.0 / 4);
        clickMenu(3, 0.7);
        QTRY_VERIFY_WITH_TIMEOUT(kelo->geometry().bottom() > area.center().y() + 115, 3000);

        // SIGTERM with the button held lets it go, and every choice is stored.
        STEP(holdAt(QPoint(150, 120)));
        const QRect geometry = kelo->geometry();
        kelo->sendSignal(SIGTERM);
        STEP(kelo->waitForCleanExit(5000, &why));
        QTRY_COMPARE_WITH_TIMEOUT(fromPress(target.pointer()),
                                  QStringList({ "press 1 150,120", "release 1 150,120" }), 3000);
        QCOMPARE(QRect(kelo->setting(u"x"_s).toInt(), kelo->setting(u"y"_s).toInt(),
                       kelo->setting(u"width"_s).toInt(), kelo->setting(u"height"_s).toInt()),
                 geometry);
        for (const QString &kept : { u"l=fr"_s, u"startup=3"_s, u"s2v=20"_s, u"source=headset"_s })
            QCOMPARE(kelo->setting(kept.section(u'=', 0, 0)), kept.section(u'=', 1));

        // The next start: the same place, French, the mouse view whose centre list has eight
        // entries; a blink on its first, left click, clicks.
        STEP(kelo->start(&why));
        QCOMPARE(kelo->geometry(), geometry);
        STEP(titlesShow(french));
        kelo->setColumns(5);
        target.clear();
        pressSwitch = [&] {
            service.write("\n");
            service.waitForBytesWritten(1000);
            return Clock::now();
        };
        STEP(walk({ { 3 }, { 3, 0, 8 } }));
        pressSwitch = nullptr;
        QTRY_COMPARE_WITH_TIMEOUT(fromPress(target.pointer()),
                                  QStringList({ "press 1 150,120", "release 1 150,120" }), 3000);
        QVERIFY(target.focused()); // kelo never took the keyboard
        service.kill();
        service.waitForFinished();
        for (const char *how : { "Quit menu", "window manager", "SIGINT", "SIGHUP" }) {
            if (how == "Quit menu"_L1)
                kelo->click(kelo->menuTitle(5));
            else if (how == "window manager"_L1)
                kelo->closeByWindowManager();
            else
                kelo->sendSignal(how == "SIGINT"_L1 ? SIGINT : SIGHUP);
            QVERIFY2(kelo->waitForCleanExit(5000, &why), qPrintable(how + u": "_s + why));
            if (how != "SIGHUP"_L1)
                STEP(kelo->start(&why) && kelo->geometry() == geometry);
        }
    }

    // On a sound server of the test's own: each group said as it lights, nothing said in the
    // view that has nothing to say, nor with the option off; speech cut short at every step does
    // no harm; each press clicks at once; "Speak" says what was typed. Without a server: one
    // line, no warning.
    void sound()
    {
        QTemporaryDir home;
        SoundServer server(home.path());
        STEP(server.start(&why));
        kelo = std::make_unique<KeloRunner>(display, home.path());
        kelo->setEnvironment(u"PULSE_SERVER"_s, server.address());
        QVERIFY(kelo->writeSettings({ { u"startup"_s, u"2"_s }, { u"audscan"_s, u"1"_s },
                                      { u"sound"_s, u"false"_s }, { u"word"_s, u"false"_s } }));
        STEP(kelo->start(&why));
        const auto ms = [](auto d) { return int(d / std::chrono::milliseconds(1)); };
        for (int group : { 2, 3, 4 }) {
            STEP(kelo->waitForHighlight(group, -1, 0, lastPress, freshMs, 8 * periodMs, &why));
            const auto lit = Clock::now() - std::chrono::milliseconds(freshMs);
            QTest::qWait(700);
            const auto said = server.sounds(lit - std::chrono::milliseconds(100));
            QVERIFY2(!said.isEmpty() && ms(said.first().begin - lit) < 900, "group not said");
        }
        clickMenu(2, 1.0 / 6); // View, Normal
        const auto normal = Clock::now();
        QTest::qWait(2 * periodMs);
        QCOMPARE(server.sounds(normal).size(), 0);

        // Fifteen seconds of a 250 ms scan, each word cut short by the next: kelo goes on talking.
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
        QVERIFY(kelo->writeSettings({ { u"startup"_s, u"2"_s }, { u"s1v"_s, u"250"_s } }));
        STEP(kelo->start(&why));
        QTest::qWait(15000);
        QVERIFY2(kelo->running() && !server.sounds(Clock::now() - 1s).isEmpty(), "speech stopped");
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
        QVERIFY(kelo->writeSettings({ { u"startup"_s, u"2"_s }, { u"audscan"_s, u"0"_s },
                                      { u"sound"_s, u"true"_s }, { u"s1v"_s, u"1000"_s } }));
        STEP(kelo->start(&why));
        const auto started = Clock::now();
        QTest::qWait(2 * periodMs);
        QCOMPARE(server.sounds(started).size(), 0);
        clicks = &server; // from here on each press is heard
        STEP(walk({ { 1 }, { 1, 0, 6 } }));
        QCOMPARE(target.waitForText(u"a"_s), u"a"_s);
        // More's sixth entry, Speak ("a"), lit five periods after the first; the picture reads
        // only the list's first lines above the indicator.
        STEP(walk({ { 5 } }) && kelo->waitForHighlight(5, 0, 4, lastPress, freshMs, 8 * periodMs, &why));
        QTest::qWait(5 * periodMs + 200);
        lastPress = kelo->pressEscape(holdMs);
        STEP(clickHeard());
        QTest::qWait(1300);
        const auto spoken = server.sounds(lastPress);
        QVERIFY2(!spoken.isEmpty() && spoken.last().ms() >= 80, "Speak said nothing"); // a click: 35
        clicks = nullptr;

        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
        kelo->setEnvironment(u"PULSE_SERVER"_s, home.path() + u"/none"_s);
        STEP(kelo->start(&why));
        STEP(walk({ { 1 }, { 1, 0, 6 } }));
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
        QCOMPARE(kelo->output().count(u"Kelo#: no sound output"_s), 1);
    }

    // "Choose the switch key…", last in Options: F8 pressed when asked is stored as the switch
    // key while kelo runs (a key added to the file meanwhile stays), and works as the switch at
    // once and after a restart.
    void switchKey()
    {
        QTemporaryDir home;
        kelo = std::make_unique<KeloRunner>(display, home.path());
        QVERIFY(kelo->writeSettings({ { u"grabkey"_s, u"true"_s }, { u"sound"_s, u"false"_s } }));
        STEP(kelo->start(&why));
        QVERIFY(kelo->writeSettings({ { u"note"_s, u"kept"_s } }));
        clickMenu(1, 0.98);
        kelo->pressKey("F8", holdMs);
        QTRY_COMPARE_WITH_TIMEOUT(kelo->setting(u"switchkey"_s), u"F8"_s, 3000);
        QCOMPARE(kelo->setting(u"note"_s), u"kept"_s);
        QTest::qWait(500); // the release that ended the choice was no press
        QCOMPARE(kelo->setting(u"startup"_s), u"1"_s);
        kelo->pressKey("F8", holdMs); // the settings view's press opens the keyboard
        QTRY_COMPARE_WITH_TIMEOUT(kelo->setting(u"startup"_s), u"2"_s, 3000);
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
        STEP(kelo->start(&why));
        target.clear();
        pressSwitch = [&] { return kelo->pressKey("F8", holdMs); };
        STEP(walk({ { 1 }, { 1, 0, 6 } }));
        pressSwitch = nullptr;
        QCOMPARE(target.waitForText(u"a"_s), u"a"_s);
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
    }

    // Half an hour (KELO_SOAK_MINUTES) of Escape presses at random moments (KELO_SEED repeats a
    // run), a sixth of it begun in each view in turn. The pointer is kept off kelo's window,
    // whose menus and close button would end the run. Kelo must neither crash nor warn, and its
    // resident memory after the first minute must grow less than 5 %. A kelo ended cleanly by
    // its own keys (QUIT is Alt+F4) is counted and started again.
    void soak()
    {
        if (!QCoreApplication::arguments().contains(u"soak"_s))
            QSKIP("half an hour: run as tst_endtoend soak (./kelo.sh soak)");
        const unsigned minutes = qEnvironmentVariable("KELO_SOAK_MINUTES", u"30"_s).toUInt(),
                       seed
            = qEnvironmentVariable("KELO_SEED", QString::number(std::random_device {}())).toUInt();
        std::printf("soak: KELO_SEED=%u for %u minutes\n", seed, minutes);
        std::fflush(stdout);
        std::mt19937 random(seed);
        const auto within = [&](int low, int high) {
            return std::uniform_int_distribution(low, high)(random);
        };
        QTemporaryDir home;
        kelo = std::make_unique<KeloRunner>(display, home.path());
        QVERIFY(kelo->writeSettings({ { u"startup"_s, u"2"_s }, { u"s1v"_s, u"500"_s } }));
        STEP(kelo->start(&why));
        const QRect screen(0, 0, DisplayWidth(display, 0), DisplayHeight(display, 0));
        const auto begin = Clock::now(), end = begin + std::chrono::minutes(minutes);
        auto started = begin;
        qint64 firstRss = 0, lastRss = 0, measured = 0, presses = 0, restarts = 0, minimised = 0,
               typed = 0, clicks = 0;
        int phase = -1, inView[4] = {};
        const auto grew = [&] { // the memory of one run of kelo, from its first minute on
            std::printf("soak: VmRSS %lld KiB after the first minute, %lld KiB at the last press, "
                        "%+.2f %%\n",
                        firstRss, lastRss, firstRss ? 100.0 * (lastRss - firstRss) / firstRss : 0.);
            measured += firstRss > 0;
            return firstRss > 0 && lastRss >= firstRss * 105 / 100;
        };
        for (bool wasIconic = false; Clock::now() < end; ++presses) {
            if (const int due = int(6 * (Clock::now() - begin) / (end - begin));
                due != phase && !kelo->geometry().isEmpty())
                clickMenu(2, (2 * ((phase = due) % 3) + 1) / 6.0); // Normal, Keyboard, Mouse
            for (const auto next = Clock::now() + std::chrono::milliseconds(within(150, 2500));
                 Clock::now() < next; QTest::qWait(40)) {
                const QRect frame = kelo->geometry().adjusted(-40, -60, 40, 40);
                const QPoint away = frame.center() - screen.center();
                if (frame.contains(QCursor::pos()))
                    kelo->movePointer({ screen.width() * (away.x() < 0 ? 4 : 1) / 5,
                                        screen.height() * (away.y() < 0 ? 4 : 1) / 5 });
                minimised += kelo->geometry().isEmpty() && !wasIconic;
                wasIconic = kelo->geometry().isEmpty();
            }
            if (!kelo->running()) {
                QVERIFY2(!grew(), "resident memory grew 5 % or more");
                STEP(kelo->waitForCleanExit(0, &why) && kelo->start(&why));
                ++restarts;
                started = Clock::now();
                firstRss = 0;
            }
            if (const qint64 now = kelo->rssKiB(); now > 0) {
                const bool minute = Clock::now() - started >= std::chrono::minutes(1);
                firstRss = firstRss || !minute ? firstRss : now;
                lastRss = now;
            }
            ++inView[qBound(0, kelo->setting(u"startup"_s).toInt(), 3)];
            kelo->pressEscape(within(30, 300));
            typed += target.text().size();
            clicks += target.pointer().filter(u"press"_s).size();
            target.clear();
            QVERIFY2(kelo->warnings().isEmpty(), qPrintable(kelo->warnings().join(u'\n')));
        }
        std::printf("soak: %lld presses (settings view %d, keyboard %d, mouse %d), minimised %lld "
                    "times, %lld characters typed, %lld clicks, %lld restarts\n",
                    presses, inView[1], inView[2], inView[3], minimised, typed, clicks, restarts);
        QVERIFY2(!grew(), "resident memory grew 5 % or more");
        QVERIFY2(measured > 0, "kelo never ran a whole minute");
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
    }

private:
    // Presses the switch (the Escape key, or what pressSwitch does) on each step once it is lit.
    bool walk(std::initializer_list<Step> steps)
    {
        for (const auto &[group, entry, lines] : steps) {
            if (group == 0 && entry == 0)
                QTest::qWait(freshMs); // the press on the pad is taken, its first entry lit
            else if (!kelo->waitForHighlight(group, entry, lines, lastPress, freshMs, 8 * periodMs,
                                             &why))
                return false;
            lastPress = pressSwitch ? pressSwitch() : kelo->pressEscape(holdMs);
            if (clicks && !clickHeard())
                return false;
        }
        return true;
    }

    // The click of the press released at lastPress (give or take the test's own scheduling)
    // begins within 30 ms of kelo taking the press at its next poll, 32 ms after the release.
    bool clickHeard()
    {
        QTest::qWait(200);
        const auto heard = clicks->sounds(lastPress - 100ms, 20);
        const int late = heard.isEmpty() ? 9999 : int((heard.first().begin - lastPress) / 1ms);
        why = u"the click began %1 ms after the release (9999: none)"_s.arg(late);
        return late >= -20 && late <= 62;
    }

    // Each title of the strip in a cell of its text's width and 16 pixels, in the desktop's font
    // that kelo uses too.
    bool titlesShow(const QStringList &titles)
    {
        const QFontMetricsF metrics(QGuiApplication::font());
        const QList<int> seen = kelo->menuTitleWidths();
        bool match = seen.size() == titles.size();
        why = u"title cells for %1:"_s.arg(titles.join(u", "));
        for (qsizetype i = 0; i < seen.size(); ++i) {
            why += u" %1"_s.arg(seen[i]);
            match = match && std::abs(seen[i] - metrics.horizontalAdvance(titles[i]) - 16) <= 2;
        }
        return match;
    }

    // In the mouse view, a held click (the centre's fourth entry) with the pointer at at.
    bool holdAt(QPoint at)
    {
        kelo->setColumns(5);
        kelo->movePointer(at);
        target.clear();
        const QStringList pressed { u"press 1 %1,%2"_s.arg(at.x()).arg(at.y()) };
        const bool held = walk({ { 3 }, { 3, 3, 8 } })
            && QTest::qWaitFor([&] { return fromPress(target.pointer()) == pressed; });
        why += u"; the client saw: "_s + target.pointer().join(u", ");
        return held;
    }

    // Opens the n-th menu of the strip and clicks at the given fraction of its height.
    void clickMenu(int n, double at)
    {
        kelo->click(kelo->menuTitle(n));
        if (QTest::qWaitFor([&] { return !kelo->menuGeometry().isEmpty(); }, 3000))
            QTest::qWait(200); // painted
        const QRect menu = kelo->menuGeometry();
        kelo->click(QPoint(menu.center().x(), menu.top() + int(menu.height() * at)));
        if (QTest::qWaitFor([&] { return kelo->menuGeometry().isEmpty(); }, 3000))
            QTest::qWait(800); // stored
    }

    // What the pointer did from its first button press on; its arrival may be reported late.
    static QStringList fromPress(QStringList seen)
    {
        while (!seen.isEmpty() && !seen.first().startsWith(u"press"))
            seen.removeFirst();
        return seen;
    }

    QString why;
    Display *display = nullptr;
    std::function<Clock::time_point()> pressSwitch;
    SoundServer *clicks = nullptr; // where each press's click is listened for, if anywhere
    std::unique_ptr<KeloRunner> kelo;
    TypingTarget target { {}, QRect(0, 0, 8192, 8192) };
    Clock::time_point lastPress = Clock::now() - std::chrono::hours(1);
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
