#include "kelorunner.h"
#include "typingtarget.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

#include <functional>
#include <list>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

// A period long enough that reading the screen, a 100 ms press and kelo's 32 ms poll fit well
// inside one highlight on a loaded machine; a press only on a highlight at most 400 ms old.
constexpr int periodMs = 1000, freshMs = 400, holdMs = 100;

// One press of a walk: on a group (entry -1), or on line entry of its list of lines lines.
struct Step
{
    int group, entry = -1, lines = 0;
};

const QMap<QString, QString> keyboardView { { u"startup"_s, u"2"_s },
                                            { u"s1v"_s, QString::number(periodMs) },
                                            { u"word"_s, u"false"_s } };

// What the pointer did from its first button press on; its arrival may be reported late.
QStringList fromPress(QStringList seen)
{
    while (!seen.isEmpty() && !seen.first().startsWith(u"press"))
        seen.removeFirst();
    return seen;
}

// Entries of an open menu: bands of rows with dark text, inside its frame.
int menuEntries(const QImage &menu)
{
    int bands = 0;
    bool inText = false;
    for (int y = 3; y < menu.height() - 3; ++y) {
        bool dark = false;
        for (int x = 3; x < menu.width() - 3 && !dark; ++x)
            dark = qGray(menu.pixel(x, y)) < 100;
        bands += dark && !inText;
        inText = dark;
    }
    return bands;
}

} // namespace

#define STEP(done) QVERIFY2(done, qPrintable(why)) // a step that fails says why

// The real program driven with one switch pressed when the screen shows the wanted position lit,
// what it types and points seen by another application that has the keyboard focus.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        STEP((display = KeloRunner::openDisplay(&why)));
        STEP(restart(keyboardView));
        QVERIFY2(target.start(), "the window typed into did not get the keyboard focus");
    }

    // The stored choices are what the Options menu shows: prediction unticked, sound ticked.
    void storedOptionsShown()
    {
        const QImage menu = openMenu(1);
        const int band = menu.height() / std::max(1, menuEntries(menu));
        const auto tick = [&](int entry) { // dark pixels at the left of an entry
            int n = 0;
            for (int y = entry * band; y < (entry + 1) * band; ++y)
                for (int x = 0; x < std::min(24, menu.width()); ++x)
                    n += qGray(menu.pixel(x, y)) < 110;
            return n;
        };
        why = u"dark pixels by word prediction %1, by sound %2"_s.arg(tick(0)).arg(tick(1));
        QVERIFY(openMenu(-1).isNull());
        STEP(tick(1) > tick(0) + 10);
    }

    // "h", "i" and Enter with the Escape key alone, in the keyboard view with prediction off.
    void typesWordAndEnter()
    {
        STEP(walk({ { 2 }, { 2, 1, 6 }, { 2 }, { 2, 2, 6 } })); // h, i from the g-l group
        STEP(walk({ { 6 }, { 6, 2, 6 }, { 1 }, { 1, 2, 6 } })); // Enter: KeyB, special keys
        QCOMPARE(target.waitForText(u"hi\n"_s), u"hi\n"_s);
        QVERIFY(target.focused()); // kelo never took the keyboard
    }

    // In the mouse view: held click, a glide, a stop, the release on the centre, seen by another
    // client as press, motion and release. Then a held button comes up when kelo gets SIGTERM.
    void dragsWithTheSwitch()
    {
        // A slow glide that stays inside the target.
        STEP(restart({ { u"startup"_s, u"3"_s },
                       { u"s1v"_s, QString::number(periodMs) },
                       { u"s2v"_s, u"20"_s } }));
        STEP(holdAt(QPoint(80, 100)));
        // The right arrow, a stop on the left arrow, the centre to let go.
        STEP(walk({ { 5 }, { 1 }, { 3 } }));
        QTRY_VERIFY_WITH_TIMEOUT(target.pointer().join(u' ').contains(u"release"), 3000);
        const QStringList seen = fromPress(target.pointer());
        why = seen.join(u", ");
        int x = 80;
        for (const QString &motion : seen.mid(1, seen.size() - 2)) {
            const int next = motion.section(u' ', 1).section(u',', 0, 0).toInt();
            STEP(motion.startsWith(u"motion ") && next > x && motion.endsWith(u",100"));
            x = next;
        }
        STEP(x >= 100 && seen.last() == u"release 1 %1,100"_s.arg(x));

        STEP(restart({}, false));
        STEP(holdAt(QPoint(150, 120)));
        kelo->sendSignal(SIGTERM);
        STEP(kelo->waitForCleanExit(5000, &why));
        QTRY_COMPARE_WITH_TIMEOUT(fromPress(target.pointer()),
                                  QStringList({ "press 1 150,120", "release 1 150,120" }), 3000);
    }

    // The headset as the switch: chosen in the Devices menu, still chosen after a restart, and
    // its blinks type into another client. The simulator is the headset service.
    void headsetBlinksType()
    {
        QProcess service;
        service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        service.start(QStringLiteral(KELO_HEADSETSIM), { u"--strength"_s, u"200"_s });
        QVERIFY2(service.waitForReadyRead(5000) && service.readAll().contains("listening"),
                 "the headset simulator is not listening on 127.0.0.1:13854");
        const auto forget = qScopeGuard([&] { pressSwitch = nullptr; }); // before service ends

        STEP(restart(keyboardView));
        // The menu lists the headset once the service is connected: None, then Headset.
        for (int attempt = 0; attempt < 10 && menuEntries(kelo->grabMenu()) != 2; ++attempt)
            openMenu(4);
        QCOMPARE(menuEntries(kelo->grabMenu()), 2);
        const QRect menu = kelo->menuGeometry();
        kelo->click(QPoint(menu.center().x(), menu.top() + menu.height() * 3 / 4));
        QTRY_VERIFY_WITH_TIMEOUT(kelo->menuGeometry().isEmpty(), 3000);

        STEP(restart({}, false));
        QCOMPARE(kelo->setting(u"source"_s), u"headset"_s);
        target.clear();
        pressSwitch = [&] {
            service.write("\n");
            service.waitForBytesWritten(1000);
            return Clock::now();
        };
        STEP(walk({ { 2 }, { 2, 1, 6 } }));
        QCOMPARE(target.waitForText(u"h"_s), u"h"_s);
        kelo->closeByWindowManager();
        STEP(kelo->waitForCleanExit(5000, &why));
    }

private:
    // Presses the switch (the Escape key, or what pressSwitch does) on each step once it is lit.
    bool walk(std::initializer_list<Step> steps)
    {
        for (const auto &[group, entry, lines] : steps) {
            if (!kelo->waitForHighlight(group, entry, lines, lastPress, freshMs, 8 * periodMs,
                                        &why))
                return false;
            lastPress = pressSwitch ? pressSwitch() : kelo->pressEscape(holdMs);
        }
        return true;
    }

    // Ends the running kelo as its window's close button does (that works with a button held),
    // then starts it again in a fresh home, or the last one, with these settings written first.
    bool restart(const QMap<QString, QString> &settings, bool fresh = true)
    {
        if (kelo)
            kelo->closeByWindowManager();
        if (kelo && !kelo->waitForCleanExit(5000, &why))
            return false;
        if (fresh)
            homes.emplace_back();
        kelo = std::make_unique<KeloRunner>(display, homes.back().path());
        lastPress = Clock::now() - std::chrono::hours(1);
        return kelo->writeSettings(settings) && kelo->start(&why);
    }

    // In the mouse view, a held click (code 13 from the centre's list) with the pointer at at.
    bool holdAt(QPoint at)
    {
        kelo->setColumns(5);
        kelo->movePointer(at);
        target.clear();
        const QStringList pressed { u"press 1 %1,%2"_s.arg(at.x()).arg(at.y()) };
        if (!walk({ { 3 }, { 3, 3, 7 } }))
            return false;
        const bool held = QTest::qWaitFor([&] { return fromPress(target.pointer()) == pressed; });
        why = u"the client saw: "_s + target.pointer().join(u", ");
        return held;
    }

    // Closes the open menu with a click on the desktop, then opens the n-th of the strip (if any).
    QImage openMenu(int n)
    {
        if (!kelo->menuGeometry().isEmpty())
            kelo->click(QPoint(2, DisplayHeight(display, DefaultScreen(display)) - 3));
        QTest::qWait(500);
        if (n >= 0)
            kelo->click(kelo->menuTitle(n));
        if (QTest::qWaitFor([&] { return kelo->menuGeometry().isEmpty() == (n < 0); }, 3000))
            QTest::qWait(200); // painted
        return kelo->grabMenu();
    }

    QString why;
    Display *display = nullptr;
    std::list<QTemporaryDir> homes;
    std::function<Clock::time_point()> pressSwitch;
    std::unique_ptr<KeloRunner> kelo;
    TypingTarget target;
    Clock::time_point lastPress;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
