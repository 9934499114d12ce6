#include "kelorunner.h"
#include "scanpicture.h"
#include "typingtarget.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <list>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// The scan period: long enough that reading the screen, a 100 ms press and the next 32 ms poll
// fit well inside one highlight on a loaded machine.
constexpr int periodMs = 1000;
// Press only on a highlight that came at most this long ago.
constexpr int freshMs = 400;
constexpr int holdMs = 100;

// The Options menu's entries in order; word prediction first, then sound, then incremental
// speed (off unless chosen).
enum OptionsEntry { WordPrediction, Sound, IncrementalSpeed };

// Dark pixels at the left of an entry of a menu: its tick mark, when it has one.
int tickPixels(const QImage &menu, int entry, int entries)
{
    int n = 0;
    for (int y = entry * menu.height() / entries; y < (entry + 1) * menu.height() / entries; ++y) {
        for (int x = 0; x < std::min(24, menu.width()); ++x)
            n += qGray(menu.pixel(x, y)) < 110;
    }
    return n;
}

// What the pointer did from its first button press on; the pointer's arrival before it may
// be reported late.
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

QString describe(const QList<TypingTarget::Key> &keys)
{
    QStringList out;
    for (const auto &key : keys)
        out << QString::fromLatin1(XKeysymToString(key.keysym));
    return out.isEmpty() ? QStringLiteral("nothing") : out.join(u' ');
}

} // namespace

// The typing path as a user walks it: the real program in its keyboard view, the Escape key
// as the only switch, pressed when the screen shows the wanted key highlighted, and the keys
// arriving in another application that has the keyboard focus.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void storedOptionsShown();
    void typesWordAndEnter();
    void dragsWithTheSwitch();
    void headsetBlinksType();

private:
    // Waits for the highlight on group (and line entry of its list of lines lines), then
    // presses the switch: the Escape key, or what pressSwitch does instead.
    bool select(int group, int entry, int lines, const char *what, QString *why);
    // Quits the running kelo as a user does, then starts it again in home (a fresh one when
    // null) with these settings written first.
    bool restart(const QMap<QString, QString> &settings, QString *why,
                 QTemporaryDir *home = nullptr);

    Display *display = nullptr;
    QTemporaryDir home;
    std::list<QTemporaryDir> homes;
    std::function<Clock::time_point()> pressSwitch;
    std::unique_ptr<KeloRunner> kelo;
    TypingTarget target;
    Clock::time_point lastPress = Clock::now() - std::chrono::hours(1);
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "these tests need an X server (DISPLAY)");
    QString why;
    display = KeloRunner::openDisplay(&why);
    QVERIFY2(display, qPrintable(why));
    QVERIFY(home.isValid());
    kelo = std::make_unique<KeloRunner>(display, home.path());
    // A user who chose the keyboard view, a slow scan and no word prediction; the window gets
    // its first-start size.
    QVERIFY(kelo->writeSettings({ { QStringLiteral("startup"), QStringLiteral("2") },
                                  { QStringLiteral("s1v"), QString::number(periodMs) },
                                  { QStringLiteral("word"), QStringLiteral("false") } }));
    QVERIFY2(kelo->start(&why), qPrintable(why));
    QVERIFY2(target.start(), "the window typed into did not get the keyboard focus");
}

void TestEndToEnd::cleanupTestCase()
{
    if (!kelo || !kelo->running())
        return;
    QString why;
    // Not the Quit menu: after a failed drag the pointer's button may still be held.
    kelo->closeByWindowManager();
    QVERIFY2(kelo->waitForCleanExit(5000, &why), qPrintable(why));
    kelo.reset();
    XCloseDisplay(display);
}

// The stored choices are what the Options menu shows: prediction off, sound on.
void TestEndToEnd::storedOptionsShown()
{
    QString why;
    const QPoint options = kelo->menuTitle(1, &why);
    QVERIFY2(!options.isNull(), qPrintable(why));
    kelo->click(options);
    QImage menu;
    QTRY_VERIFY_WITH_TIMEOUT(!(menu = kelo->grabMenu()).isNull(), 3000);
    QTest::qWait(200);
    menu = kelo->grabMenu();
    QVERIFY(!menu.isNull());
    menu.save(QStringLiteral(KELO_BUILD_DIR "/kelo-options-menu.png"));
    const int entries = menuEntries(menu);
    const int word = tickPixels(menu, WordPrediction, entries);
    const int sound = tickPixels(menu, Sound, entries);
    const int incremental = tickPixels(menu, IncrementalSpeed, entries);
    QVERIFY2(sound > incremental + 10,
             qPrintable(QStringLiteral("no tick mark to compare with: sound %1, incremental %2")
                            .arg(sound)
                            .arg(incremental)));
    QVERIFY2(word <= incremental + 3,
             qPrintable(QStringLiteral("word prediction shows ticked (%1 dark pixels, unticked "
                                       "%2, ticked %3)")
                            .arg(word)
                            .arg(incremental)
                            .arg(sound)));
    // Clicking the bare desktop closes the menu without choosing anything.
    kelo->click(QPoint(2, DisplayHeight(display, DefaultScreen(display)) - 3));
    QTRY_VERIFY_WITH_TIMEOUT(kelo->grabMenu().isNull(), 3000);
}

bool TestEndToEnd::select(int group, int entry, int lines, const char *what, QString *why)
{
    QString seen;
    if (!kelo->waitForHighlight(group, entry, lines, lastPress, freshMs, 8 * periodMs, &seen)) {
        *why = QStringLiteral("choosing %1: ").arg(QLatin1String(what)) + seen;
        return false;
    }
    lastPress = pressSwitch ? pressSwitch() : kelo->pressEscape(holdMs);
    return true;
}

bool TestEndToEnd::restart(const QMap<QString, QString> &settings, QString *why, QTemporaryDir *in)
{
    // Closed by the window manager, as its close button does: that works with a button held.
    if (kelo && kelo->running()) {
        kelo->closeByWindowManager();
        if (!kelo->waitForCleanExit(5000, why))
            return false;
    }
    QTemporaryDir *dir = in ? in : &homes.emplace_back();
    kelo = std::make_unique<KeloRunner>(display, dir->path());
    lastPress = Clock::now() - std::chrono::hours(1);
    return kelo->writeSettings(settings) && kelo->start(why);
}

// "h", "i" and Enter typed into a focused X client with the Escape key alone: letters from
// the g-l group; Enter from the special keys, reached through KeyB.
void TestEndToEnd::typesWordAndEnter()
{
    QVERIFY2(kelo->grab().save(QStringLiteral(KELO_BUILD_DIR "/kelo-keyboard-view.png")),
             "cannot save the picture of the keyboard view");

    QString why;
    QVERIFY2(select(2, -1, 0, "the g-l group", &why), qPrintable(why));
    QTest::qWait(300);
    QVERIFY2(kelo->grab().save(QStringLiteral(KELO_BUILD_DIR "/kelo-list-open.png")),
             "cannot save the picture of the open list");
    QVERIFY2(select(2, 1, 6, "h", &why), qPrintable(why));
    QTRY_COMPARE_WITH_TIMEOUT(target.text(), QStringLiteral("h"), 2000);
    QVERIFY2(select(2, -1, 0, "the g-l group again", &why), qPrintable(why));
    QVERIFY2(select(2, 2, 6, "i", &why), qPrintable(why));
    QVERIFY2(select(6, -1, 0, "the KeyB group", &why), qPrintable(why));
    QVERIFY2(select(6, 2, 6, "special keys", &why), qPrintable(why));
    QVERIFY2(select(1, -1, 0, "the D-ALT group", &why), qPrintable(why));
    QVERIFY2(select(1, 2, 6, "ENTER", &why), qPrintable(why));

    const QString expected = QStringLiteral("hi\n");
    // Once it is there, a little longer, so that anything typed beyond it shows too.
    if (QTest::qWaitFor([&] { return target.text() == expected; }, 3000))
        QTest::qWait(200);
    QList<TypingTarget::Key> keys;
    for (const auto &key : target.keys()) {
        // The switch itself reaches the focused window too; it is not intercepted.
        if (key.keysym != XK_Escape)
            keys << key;
    }
    QVERIFY2(target.text() == expected,
             qPrintable(QStringLiteral("typed \"%1\"; keys received besides Escape: %2")
                            .arg(target.text().replace(u'\n', QStringLiteral("\\n")))
                            .arg(describe(keys))));
    QCOMPARE(describe(keys), QStringLiteral("h i Return"));

    // The program never took the keyboard from the application typed into.
    QVERIFY(target.focused());
    QVERIFY(kelo->running());
}

// A drag with the Escape key alone in the mouse view: held click, a glide, a stop, the
// release on the centre, seen by another client as press, motion and release. Then a held
// button is let go when the system ends kelo.
void TestEndToEnd::dragsWithTheSwitch()
{
    QString why;
    QTemporaryDir &dir = homes.emplace_back();
    const QMap<QString, QString> mouseView { { QStringLiteral("startup"), QStringLiteral("3") },
                                             { QStringLiteral("s1v"), QString::number(periodMs) },
                                             // a slow glide that stays inside the target
                                             { QStringLiteral("s2v"), QStringLiteral("20") } };
    QVERIFY2(restart(mouseView, &why, &dir), qPrintable(why));
    kelo->setColumns(5);
    kelo->movePointer(QPoint(80, 100));
    target.clear();

    QVERIFY2(select(3, -1, 0, "the centre", &why), qPrintable(why));
    QVERIFY2(select(3, 3, 7, "held click", &why), qPrintable(why));
    QTRY_VERIFY2_WITH_TIMEOUT(fromPress(target.pointer()) == QStringList { "press 1 80,100" },
                              qPrintable(target.pointer().join(u", ")), 3000);
    QVERIFY2(select(5, -1, 0, "the right arrow", &why), qPrintable(why));
    QVERIFY2(select(1, -1, 0, "a stop on the left arrow", &why), qPrintable(why));
    QVERIFY2(select(3, -1, 0, "the centre, to let go", &why), qPrintable(why));
    QTRY_VERIFY_WITH_TIMEOUT(target.pointer().last().startsWith(u"release"), 3000);

    const QStringList seen = fromPress(target.pointer());
    int x = 80;
    for (qsizetype i = 1; i < seen.size() - 1; ++i) {
        QVERIFY2(seen[i].startsWith(u"motion "), qPrintable(seen.join(u", ")));
        const int next = seen[i].section(u' ', 1).section(u',', 0, 0).toInt();
        QVERIFY2(next > x && seen[i].endsWith(u",100"), qPrintable(seen.join(u", ")));
        x = next;
    }
    QVERIFY2(x >= 100, qPrintable(QStringLiteral("the glide went %1 pixels").arg(x - 80)));
    QCOMPARE(seen.last(), QStringLiteral("release 1 %1,100").arg(x));

    // Started again, the button held, and ended by the system: the button comes up.
    QVERIFY2(restart({}, &why, &dir), qPrintable(why));
    kelo->setColumns(5);
    kelo->movePointer(QPoint(150, 120));
    target.clear();
    QVERIFY2(select(3, -1, 0, "the centre", &why), qPrintable(why));
    QVERIFY2(select(3, 3, 7, "held click", &why), qPrintable(why));
    QTRY_VERIFY2_WITH_TIMEOUT(fromPress(target.pointer()) == QStringList { "press 1 150,120" },
                              qPrintable(target.pointer().join(u", ")), 3000);
    kelo->sendSignal(SIGTERM);
    QVERIFY2(kelo->waitForCleanExit(5000, &why), qPrintable(why));
    QTRY_COMPARE_WITH_TIMEOUT(fromPress(target.pointer()),
                              QStringList({ "press 1 150,120", "release 1 150,120" }), 3000);
}

// The headset as the switch: chosen in the Devices menu, still chosen after a restart, and
// its blinks type into another client. The headset service is the simulator.
void TestEndToEnd::headsetBlinksType()
{
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(KELO_HEADSETSIM),
                  { QStringLiteral("--strength"), QStringLiteral("200") });
    QVERIFY2(service.waitForStarted(5000), "the headset simulator did not start");
    QVERIFY2(service.waitForReadyRead(5000) && service.readAll().contains("listening"),
             "the headset simulator is not listening on 127.0.0.1:13854");
    const auto stopService = qScopeGuard([&] {
        pressSwitch = nullptr;
        service.kill();
        service.waitForFinished(3000);
    });

    QString why;
    QTemporaryDir &dir = homes.emplace_back();
    QVERIFY2(restart({ { QStringLiteral("startup"), QStringLiteral("2") },
                       { QStringLiteral("s1v"), QString::number(periodMs) },
                       { QStringLiteral("word"), QStringLiteral("false") } },
                     &why, &dir),
             qPrintable(why));
    // The Devices menu lists the headset once the service is connected: None, then Headset.
    QRect menu;
    int entries = 0;
    for (int attempt = 0; attempt < 10 && entries != 2; ++attempt) {
        if (!menu.isEmpty())
            kelo->click(QPoint(2, DisplayHeight(display, DefaultScreen(display)) - 3));
        QTest::qWait(500);
        const QPoint devices = kelo->menuTitle(4, &why);
        QVERIFY2(!devices.isNull(), qPrintable(why));
        kelo->click(devices);
        QTRY_VERIFY_WITH_TIMEOUT(!(menu = kelo->menuGeometry()).isEmpty(), 3000);
        QTest::qWait(200);
        entries = menuEntries(kelo->grabMenu());
    }
    QCOMPARE(entries, 2);
    kelo->click(QPoint(menu.center().x(), menu.top() + menu.height() * 3 / 4));
    QTRY_VERIFY_WITH_TIMEOUT(kelo->menuGeometry().isEmpty(), 3000);

    QVERIFY2(restart({}, &why, &dir), qPrintable(why));
    QCOMPARE(kelo->setting(QStringLiteral("source")), QStringLiteral("headset"));
    target.clear();
    pressSwitch = [&] {
        service.write("\n");
        service.waitForBytesWritten(1000);
        return Clock::now();
    };
    QVERIFY2(select(2, -1, 0, "the g-l group", &why), qPrintable(why));
    QVERIFY2(select(2, 1, 6, "h", &why), qPrintable(why));
    QCOMPARE(target.waitForText(QStringLiteral("h")), QStringLiteral("h"));
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
