#include "kelorunner.h"
#include "scanpicture.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSmoke : public QObject
{
    Q_OBJECT

private slots:
    void quitsInOrder_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : { "Quit menu", "window manager", "SIGTERM", "SIGINT", "SIGHUP" })
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    // The real kelo under a window manager. A first start shows the settings view (nothing lit) in
    // a 556 x 230 window centred on the free desktop. However kelo is ended, again and again, it
    // ends by itself with status 0 and the next start puts the window where the user left it.
    void quitsInOrder()
    {
        QFETCH(QString, how);
        QString why;
        static Display *display = KeloRunner::openDisplay(&why);
        QVERIFY2(display, qPrintable(why));
        QTemporaryDir home;
        const QRect moved(140, 620, 600, 250);
        for (int run = 0; run < 3; ++run) {
            KeloRunner kelo(display, home.path());
            QVERIFY2(kelo.start(&why), qPrintable(why));
            if (run == 0) {
                const QRect area = kelo.workArea();
                QCOMPARE(kelo.geometry(),
                         QRect(area.x() + (area.width() - 556) / 2,
                               area.y() + (area.height() - 230) / 2, 556, 230));
                kelo.movePointer(area.bottomRight()); // no title under the pointer
                QTest::qWait(300);
                QVERIFY(ScanPicture(kelo.grab()) == ScanPicture(QImage()));
                QVERIFY(kelo.moveTo(moved));
                QTest::qWait(300); // for kelo to see it, and then paint the strip at the new size
                QTRY_VERIFY_WITH_TIMEOUT(!kelo.menuTitle(5).isNull(), 5000);
            }
            QCOMPARE(kelo.geometry(), moved);
            if (how == u"Quit menu")
                kelo.click(kelo.menuTitle(5));
            else if (how == u"window manager")
                kelo.closeByWindowManager();
            else
                kelo.sendSignal(how == u"SIGTERM" ? SIGTERM : how == u"SIGINT" ? SIGINT : SIGHUP);
            QVERIFY2(kelo.waitForCleanExit(5000, &why), qPrintable(u"run %1: "_s.arg(run) + why));
            QCOMPARE(kelo.setting(u"registered"_s), u"true"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
