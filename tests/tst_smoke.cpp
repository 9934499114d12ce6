#include "kelorunner.h"
#include "scanpicture.h"

#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

qsizetype countColour(const QImage &image, QRgb colour)
{
    qsizetype n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    }
    return n;
}

} // namespace

// The real program started and ended as a user does, under a window manager.
class TestSmoke : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString why;
        display = KeloRunner::openDisplay(&why);
        QVERIFY2(display, qPrintable(why));
    }

    // A first start shows the settings view in a 556 x 230 window centred on the free
    // desktop; Quit ends it with the first start recorded.
    void firstStart()
    {
        QTemporaryDir home;
        KeloRunner kelo(display, home.path());
        QString why;
        QVERIFY2(kelo.start(&why), qPrintable(why));
        const QRect area = kelo.workArea();
        QCOMPARE(kelo.geometry(),
                 QRect(area.topLeft() + QPoint((area.width() - 556) / 2, (area.height() - 230) / 2),
                       QSize(556, 230)));

        kelo.movePointer(area.bottomRight()); // no title under the pointer
        QTest::qWait(300);
        const QImage picture = kelo.grab();
        picture.save(u"" KELO_BUILD_DIR "/kelo-settings-view.png"_s);
        // The switch indicator, a quarter of the width by a quarter of the height, and the
        // menu strip; no group highlighted and no list open, as in no scanning panel.
        QVERIFY(countColour(picture, qRgb(0x64, 0x95, 0xed)) > 556 / 4 * 230 / 4 / 2);
        QVERIFY(countColour(picture, qRgb(0xe8, 0xe8, 0xe8)) > 556 * 10);
        QVERIFY(ScanPicture(picture) == ScanPicture(QImage()));

        QVERIFY2(quit(kelo, "Quit menu", &why), qPrintable(why));
        QCOMPARE(kelo.setting(u"registered"_s), u"true"_s);
    }

    // However it is ended, again and again, kelo ends by itself with status 0 and the next
    // start puts the window where the user left it.
    void quitsInOrder_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : { "Quit menu", "window manager", "SIGTERM", "SIGINT", "SIGHUP" })
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void quitsInOrder()
    {
        QFETCH(QString, how);
        QTemporaryDir home;
        const QRect moved(140, 620, 600, 250);
        for (int run = 0; run < 4; ++run) {
            KeloRunner kelo(display, home.path());
            QString why;
            QVERIFY2(kelo.start(&why), qPrintable(why));
            if (run == 0) {
                QVERIFY2(kelo.moveTo(moved), "the window manager did not move the window");
                QTest::qWait(300); // for kelo to see it
            }
            QCOMPARE(kelo.geometry(), moved);
            QVERIFY2(quit(kelo, how, &why), qPrintable(u"run %1: "_s.arg(run) + why));
        }
    }

private:
    static bool quit(KeloRunner &kelo, const QString &how, QString *why)
    {
        if (how == u"Quit menu") {
            const QPoint title = kelo.menuTitle(5, why);
            if (title.isNull())
                return false;
            kelo.click(title);
        } else if (how == u"window manager") {
            kelo.closeByWindowManager();
        } else {
            kelo.sendSignal(how == u"SIGTERM" ? SIGTERM : how == u"SIGINT" ? SIGINT : SIGHUP);
        }
        return kelo.waitForCleanExit(5000, why);
    }

    Display *display = nullptr;
};

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
