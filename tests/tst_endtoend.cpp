#include "kelorunner.h"
#include "scanpicture.h"
#include "typingtarget.h"

#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
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

private:
    // Waits for the highlight on group (and line entry of its list of lines lines), then
    // presses the switch.
    bool select(int group, int entry, int lines, const char *what, QString *why);

    Display *display = nullptr;
    QTemporaryDir home;
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
}

void TestEndToEnd::cleanupTestCase()
{
    if (!kelo || !kelo->running())
        return;
    QString why;
    const QPoint quit = kelo->menuTitle(5, &why);
    if (quit.isNull())
        kelo->closeByWindowManager();
    else
        kelo->click(quit);
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
    const int word = tickPixels(menu, WordPrediction, 5);
    const int sound = tickPixels(menu, Sound, 5);
    const int incremental = tickPixels(menu, IncrementalSpeed, 5);
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
    lastPress = kelo->pressEscape(holdMs);
    return true;
}

// "h", "i" and Enter typed into a focused X client with the Escape key alone: letters from
// the g-l group; Enter from the special keys, reached through KeyB.
void TestEndToEnd::typesWordAndEnter()
{
    QVERIFY2(target.start(), "the window typed into did not get the keyboard focus");
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

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
