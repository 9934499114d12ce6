#include "headset.h"
#include "kelorunner.h"
#include "predictor.h"
#include "recordingplatform.h"
#include "wayland/waylandplatform.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

#define STEP(done) QVERIFY2(done, qPrintable(why))

// The real kelo under a headless sway (sway.sh) through XWayland, the headset simulator as its
// switch, typing and pointing through the compositor's virtual devices into a native window.
class TestWayland : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"), "run inside sway (tests/sway.sh)");
        // Copies elsewhere when the build folder is closed to this user (sway.sh).
        target.start(qEnvironmentVariable("KELO_WAYLANDTARGET", QStringLiteral(KELO_WAYLANDTARGET)));
        QVERIFY2(waitFor(u"started"_s), qPrintable(seen.join(u", ")));
        STEP((display = KeloRunner::openDisplay(&why)));
        service.start(qEnvironmentVariable("KELO_HEADSETSIM", QStringLiteral(KELO_HEADSETSIM)),
                      { u"--strength"_s, u"200"_s });
        QVERIFY2(service.waitForReadyRead(5000) && service.readAll().contains("listening"),
                 "the headset simulator is not listening on 127.0.0.1:13854");
    }

    // "hi" and the first prediction typed with blinks, the native window keeping the focus;
    // then a glide and a left click that land in it.
    void typeAndPoint()
    {
        QTemporaryDir home;
        KeloRunner kelo(display, home.path());
        QVERIFY(kelo.writeSettings({ { u"startup"_s, u"2"_s }, { u"source"_s, u"headset"_s },
                                     { u"autocaps"_s, u"false"_s } }));
        STEP(kelo.start(&why));
        kelo.setSwitch([this] { return blink(); });
        // The seat has a keyboard once kelo's virtual one is there.
        QVERIFY2(waitFor(u"focus in"_s), qPrintable(seen.join(u", ")));
        Predictor predictor(home.filePath(u"words.txt"_s));
        predictor.lang(1);
        const QString word = predictor.t9(u"hi"_s).value(0);
        QVERIFY2(word.startsWith(u"hi"), qPrintable(word));
        // h and i, second and third of g-l; then the first prediction.
        STEP(walk(kelo, { { 2 }, { 2, 1, 6 }, { 2 }, { 2, 2, 6 }, { 0 }, { 0, 0 } }));
        QVERIFY2(QTest::qWaitFor([&] { return typed() == word + u' '; }, 5000),
                 qPrintable(word + u" | "_s + typed() + u" | "_s + seen.join(u", ")));

        QVERIFY2(!everything.contains(u"focus out"_s), qPrintable(everything.join(u", ")));

        // KeyB's Mouse; the right arrow glides the pointer from the desktop's middle over the
        // native window.
        STEP(walk(kelo, { { 6 }, { 6, 4, 8 } }));
        kelo.setColumns(5);
        QTest::qWait(2000); // until the mouse view is drawn: the keyboard view may still show
        seen.clear();
        STEP(walk(kelo, { { 5 } }));
        QVERIFY2(waitFor(u"enter "_s, 15000) && waitFor(u"motion "_s),
                 qPrintable(seen.join(u", ")));
        kelo.press(); // stops the glide
        STEP(walk(kelo, { { 3 }, { 3, 0, 8 } })); // left click
        QVERIFY2(waitFor(u"release "_s), qPrintable(seen.join(u", ")));
        const QStringList pointed = seen.filter(QRegularExpression(u"^(motion|press|release) "_s));
        static const QRegularExpression glide(
            u"^(motion \\d+,(\\d+), )+press 272 (\\d+,\\2), release 272 \\3$"_s);
        QVERIFY2(glide.match(pointed.join(u", ")).hasMatch(), qPrintable(pointed.join(u", ")));
        QVERIFY2(!everything.contains(u"focus out"_s), qPrintable(everything.join(u", ")));
        kelo.sendSignal(SIGTERM);
        STEP(kelo.waitForCleanExit(5000, &why));
    }

    // The virtual pointer placed and stepped in the native window (typeAndPoint clicks), and
    // read back.
    void pointAndStep()
    {
        const auto platform = WaylandPlatform::create();
        QVERIFY2(platform && platform->injection() == "wlroots",
                 platform ? platform->problem().c_str() : "no compositor");
        seen.clear();
        platform->pointerMoveTo(200, 300);
        QVERIFY2(waitFor(u"enter "_s) || waitFor(u"motion "_s), qPrintable(seen.join(u", ")));
        QTest::qWait(300); // a motion may follow the entering
        waitFor(u"\x01"_s, 0);
        const QStringList at = seen.last().section(u' ', 1).split(u',');
        seen.clear();
        platform->pointerMoveBy(7, -3);
        const QString moved = u"motion %1,%2"_s.arg(at.value(0).toInt() + 7).arg(at.value(1).toInt() - 3);
        QVERIFY2(waitFor(moved), qPrintable(moved + u": "_s + seen.join(u", ")));
        int x = 0, y = 0;
        QVERIFY(platform->pointerPosition(&x, &y) && x == 207 && y == 297);
    }

    void cleanupTestCase()
    {
        service.kill();
        service.waitForFinished();
        target.closeWriteChannel();
        target.waitForFinished(3000);
    }

private:
    Clock::time_point lastBlink;
    Clock::time_point blink()
    {
        // No one blinks twice faster than the headset's bound, which drops such a blink.
        const auto earliest = lastBlink + std::chrono::milliseconds(Headset::minBlinkGapMs + 20);
        if (Clock::now() < earliest)
            QTest::qWait(int((earliest - Clock::now()) / std::chrono::milliseconds(1)) + 1);
        lastBlink = Clock::now();
        service.write("\n");
        service.waitForBytesWritten(1000);
        return Clock::now();
    }

    bool walk(KeloRunner &kelo, const QList<KeloRunner::Step> &steps)
    {
        return kelo.walk(steps, &why);
    }

    // Reads the native window's log; true once a line starting with what arrived.
    bool waitFor(const QString &what, int timeoutMs = 5000)
    {
        return QTest::qWaitFor(
            [&] {
                while (target.canReadLine()) {
                    QString line = QString::fromUtf8(target.readLine());
                    line.chop(line.endsWith(u'\n') ? 1 : 0);
                    seen << line;
                    everything << line;
                }
                return !seen.filter(QRegularExpression(u"^"_s + QRegularExpression::escape(what)))
                            .isEmpty();
            },
            timeoutMs);
    }

    // The text the window received, BackSpace taking one away.
    QString typed()
    {
        waitFor(u"\x01"_s, 0);
        QString text;
        for (const QString &line : everything) {
            if (line == u"key BackSpace")
                text.chop(1);
            else if (line.startsWith(u"key ") && line.size() == 5)
                text += line.back();
        }
        return text;
    }

    QString why;
    Display *display = nullptr;
    QProcess target, service;
    QStringList seen, everything;
};

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
