#include "kelorunner.h"
#include "scanpicture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

// The menu strip's titles, in order; Quit is the sixth.
constexpr int quitTitle = 5;

// The area a window may take: the work area the window manager publishes, else the screen.
QRect availableArea(Display *display)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QRect area(0, 0, DisplayWidth(display, DefaultScreen(display)),
               DisplayHeight(display, DefaultScreen(display)));
    if (XGetWindowProperty(display, DefaultRootWindow(display),
                           XInternAtom(display, "_NET_WORKAREA", False), 0, 4, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data)
            == Success
        && data && format == 32 && count >= 4) {
        const auto *v = reinterpret_cast<const unsigned long *>(data);
        area = QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
    }
    if (data)
        XFree(data);
    return area;
}

qsizetype countColour(const QImage &image, QRgb colour)
{
    qsizetype n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            n += (line[x] & 0xffffff) == (colour & 0xffffff);
    }
    return n;
}

} // namespace

// The real program started and ended as a user does: first start, the window where it was
// left, and many starts and quits in a row. Needs an X server with a window manager.
class TestSmoke : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void firstStart();
    void restoresGeometry();
    void startsAndQuitsRepeatedly();
    void signalsQuitInOrder_data();
    void signalsQuitInOrder();

private:
    // Clicks the Quit title of the menu strip; false, with why, when the strip is not found.
    static bool quitThroughMenu(KeloRunner &kelo, QString *why);
    bool waitForGeometry(KeloRunner &kelo, const QRect &expected);

    Display *display = nullptr;
};

void TestSmoke::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "these tests need an X server (DISPLAY)");
    QString why;
    display = KeloRunner::openDisplay(&why);
    QVERIFY2(display, qPrintable(why));
}

void TestSmoke::cleanupTestCase()
{
    if (display)
        XCloseDisplay(display);
}

bool TestSmoke::quitThroughMenu(KeloRunner &kelo, QString *why)
{
    const QPoint quit = kelo.menuTitle(quitTitle, why);
    if (quit.isNull())
        return false;
    kelo.click(quit);
    return true;
}

bool TestSmoke::waitForGeometry(KeloRunner &kelo, const QRect &expected)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (kelo.geometry() != expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return kelo.geometry() == expected;
}

// A first start shows the settings view in a 556 x 230 window centred on the free desktop,
// and the Quit menu ends the program cleanly with the first start recorded.
void TestSmoke::firstStart()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    KeloRunner kelo(display, home.path());
    QString why;
    QVERIFY2(kelo.start(&why), qPrintable(why));

    const QRect frame = kelo.geometry();
    QCOMPARE(frame.size(), QSize(556, 230));
    const QRect area = availableArea(display);
    QCOMPARE(frame.topLeft(),
             area.topLeft() + QPoint((area.width() - 556) / 2, (area.height() - 230) / 2));

    // The picture as a first start shows it, with no title under the pointer.
    kelo.movePointer(QPoint(area.right(), area.bottom()));
    QTest::qWait(300);
    const QImage picture = kelo.grab();
    QCOMPARE(picture.size(), QSize(556, 230));
    const QString file = QStringLiteral(KELO_BUILD_DIR "/kelo-settings-view.png");
    QVERIFY2(picture.save(file), qPrintable(file));
    // The switch indicator: a quarter of the width by a quarter of the height, never hidden
    // on a first start.
    QVERIFY2(countColour(picture, qRgb(0x64, 0x95, 0xed)) > 556 / 4 * 230 / 4 / 2,
             "the switch indicator (cornflowerblue) is not on screen");
    QVERIFY2(countColour(picture, qRgb(0xe8, 0xe8, 0xe8)) > 556 * 10,
             "the menu strip is not on screen");
    // The settings view, not a scanning panel: no group is highlighted, no list is open.
    const ScanPicture scan(picture);
    QCOMPARE(scan.group(), 0);
    QVERIFY(!scan.listOpen());

    QVERIFY2(quitThroughMenu(kelo, &why), qPrintable(why));
    QVERIFY2(kelo.waitForCleanExit(5000, &why), qPrintable(why));
    QVERIFY(QFile::exists(kelo.settingsFile()));
    QCOMPARE(kelo.setting(QStringLiteral("registered")), QStringLiteral("true"));
}

// The window comes back where the user left it, at the size it was given.
void TestSmoke::restoresGeometry()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QRect moved(140, 620, 600, 250);
    {
        KeloRunner kelo(display, home.path());
        QString why;
        QVERIFY2(kelo.start(&why), qPrintable(why));
        QVERIFY(kelo.geometry() != moved);
        XMoveResizeWindow(display, kelo.window(), moved.x(), moved.y(), unsigned(moved.width()),
                          unsigned(moved.height()));
        XSync(display, False);
        QVERIFY2(waitForGeometry(kelo, moved), "the window manager did not move the window");
        // Let the program see the change before it is told to quit.
        QTest::qWait(300);
        QVERIFY2(quitThroughMenu(kelo, &why), qPrintable(why));
        QVERIFY2(kelo.waitForCleanExit(5000, &why), qPrintable(why));
    }
    KeloRunner kelo(display, home.path());
    QString why;
    QVERIFY2(kelo.start(&why), qPrintable(why));
    QCOMPARE(kelo.geometry(), moved);
    kelo.closeByWindowManager();
    QVERIFY2(kelo.waitForCleanExit(5000, &why), qPrintable(why));
}

// Twenty starts in a row, each ended either through the Quit menu or through the window
// manager's close: every one ends by itself with status 0.
void TestSmoke::startsAndQuitsRepeatedly()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    for (int run = 0; run < 20; ++run) {
        KeloRunner kelo(display, home.path());
        QString why;
        QVERIFY2(kelo.start(&why), qPrintable(QStringLiteral("run %1: ").arg(run) + why));
        if (run % 2 == 0)
            QVERIFY2(quitThroughMenu(kelo, &why), qPrintable(why));
        else
            kelo.closeByWindowManager();
        QVERIFY2(kelo.waitForCleanExit(5000, &why),
                 qPrintable(QStringLiteral("run %1 (%2): ")
                                .arg(run)
                                .arg(run % 2 == 0 ? "Quit menu" : "window manager's close")
                            + why));
    }
}

// A logout (SIGHUP), a kill (SIGTERM) or Ctrl+C (SIGINT) ends the program as its Quit menu
// does: status 0, and the place the window was just moved to is in the settings.
void TestSmoke::signalsQuitInOrder_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestSmoke::signalsQuitInOrder()
{
    QFETCH(int, signal);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    KeloRunner kelo(display, home.path());
    QString why;
    QVERIFY2(kelo.start(&why), qPrintable(why));
    const QRect moved(170, 590, 556, 230);
    XMoveResizeWindow(display, kelo.window(), moved.x(), moved.y(), unsigned(moved.width()),
                      unsigned(moved.height()));
    XSync(display, False);
    QVERIFY2(waitForGeometry(kelo, moved), "the window manager did not move the window");
    QTest::qWait(300);

    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(display, kelo.window(), XInternAtom(display, "_NET_WM_PID", False), 0, 1,
                       False, XA_CARDINAL, &type, &format, &count, &after, &data);
    QVERIFY2(data && count == 1, "kelo's window names no process");
    const auto pid = pid_t(*reinterpret_cast<const unsigned long *>(data));
    XFree(data);
    QCOMPARE(::kill(pid, signal), 0);
    QVERIFY2(kelo.waitForCleanExit(5000, &why), qPrintable(why));
    QCOMPARE(kelo.setting(QStringLiteral("x")), QString::number(moved.x()));
}

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
