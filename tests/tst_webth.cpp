#include "webth.h"
#include "wrapper.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString eyeCascade = QStringLiteral(KELO_BUILD_DIR "/eyes.xml");

// A frame cut from OpenCV's Megamind sample (0 to 3 eyes found) in colour, as a camera gives it;
// "x" is one left grey, which the detector must skip like a failed read.
cv::Mat frame(const QString &name, QSize size)
{
    cv::Mat image = cv::imread(KELO_TEST_DATA "/eyes"
                                   + QString(name).replace(u'x', u'0').toStdString() + ".webp",
                               name == u"x" ? cv::IMREAD_GRAYSCALE : cv::IMREAD_COLOR);
    cv::resize(image, image, size.isEmpty() ? image.size() : cv::Size(size.width(), size.height()));
    return image;
}

// Runs image sequences ("|" between two) to their end: the blinks seen, the last frame in shown.
QImage shown;
int run(Webth &detector, const QString &frames, QSize size = {})
{
    QObject context;
    QObject::connect(&detector, &Webth::vid, &context, [](uchar *pixels) {
        shown = QImage(pixels, 320, 240, 960, QImage::Format_BGR888).copy();
    });
    QSignalSpy blink(&detector, &Webth::blink);
    for (const QString &names : frames.split(u'|')) {
        QTemporaryDir dir;
        int i = 0;
        for (const QString &name : names.split(u' ', Qt::SkipEmptyParts))
            cv::imwrite(dir.filePath(QString::asprintf("%03d.png", i++)).toStdString(),
                        frame(name, size));
        QSignalSpy finished(&detector, &Webth::finished);
        detector.openFile(dir.filePath(QStringLiteral("%03d.png")));
        if (!finished.wait(10000))
            return -1;
    }
    return int(blink.size());
}

} // namespace

class TestWebth : public QObject
{
    Q_OBJECT

private slots:
    // Eyes per frame, "|" ending the source; cascade 0: the real one, 1: missing, 2: cut short.
    void detector_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("cascade");
        QTest::addColumn<int>("blinks");
        QTest::newRow("3 0") << QSize() << 0 << 1;
        QTest::newRow("2 1 0") << QSize() << 0 << 0;
        QTest::newRow("2 0 0 2 0") << QSize() << 0 << 2;
        QTest::newRow("2 x 0") << QSize() << 0 << 1;
        QTest::newRow("2 | 0") << QSize() << 0 << 1;
        QTest::newRow("2 0 2") << QSize(1280, 720) << 0 << 1;
        QTest::newRow("0") << QSize(64, 48) << 0 << 0;
        QTest::newRow("2 0 3") << QSize() << 1 << 0;
        QTest::newRow("3 0 2") << QSize() << 2 << 0;
    }
    // The last frame handed over: the source at 320 x 240, with a red box around each eye seen
    // in it by a person (none where the cascade is missing or cut short) and nothing else.
    void detector()
    {
        QFETCH(QSize, size);
        QFETCH(int, cascade);
        QTemporaryDir dir;
        const QString path = cascade ? dir.filePath(QStringLiteral("eyes.xml")) : eyeCascade;
        QVERIFY(cascade != 2 || (QFile::copy(eyeCascade, path) && QFile::resize(path, 4000)));
        if (cascade)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("eyes.xml is missing or is not"));
        Webth detector(path);
        QTEST(run(detector, QString::fromLatin1(QTest::currentDataTag()), size), "blinks");
        const QString last = QString::fromLatin1(QTest::currentDataTag()).right(1);
        cv::Mat source = frame(last, size);
        cv::resize(source, source, cv::Size(320, 240));
        const QImage plain(source.data, 320, 240, int(source.step), QImage::Format_BGR888);
        // The pupils of the two-eyed frame, read off the picture.
        const QList<QPoint> eyes = last == u"2" && !cascade
            ? QList<QPoint> { { 145, 94 }, { 200, 94 } }
            : QList<QPoint>();
        QList<QRect> boxes(eyes.size());
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) {
                if (shown.pixel(x, y) == plain.pixel(x, y))
                    continue;
                QVERIFY2(shown.pixel(x, y) == qRgb(255, 0, 0) && !eyes.isEmpty(),
                         qPrintable(QString::asprintf("changed at %d,%d", x, y)));
                const QPoint p(x, y);
                boxes[(eyes[0] - p).manhattanLength() < (eyes[1] - p).manhattanLength() ? 0 : 1]
                    |= QRect(p, QSize(1, 1));
            }
        }
        for (qsizetype i = 0; i < eyes.size(); ++i) {
            const QPoint off = boxes[i].center() - eyes[i];
            QVERIFY2(off.manhattanLength() <= 12 && boxes[i].width() >= 16
                         && boxes[i].width() <= 80,
                     qPrintable(QString::asprintf("box %d,%d %dx%d", boxes[i].x(), boxes[i].y(),
                                                  boxes[i].width(), boxes[i].height())));
        }
    }

    // A camera that cannot be opened ends; stop returns while an open blocks, which never reports.
    void failingSources()
    {
        Webth detector(eyeCascade);
        QSignalSpy finished(&detector, &Webth::finished);
        detector.open(97);
        QVERIFY(finished.wait(10000));
        QTemporaryDir dir;
        const QByteArray fifo = dir.filePath(QStringLiteral("camera")).toLocal8Bit();
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        detector.openFile(QString::fromLocal8Bit(fifo));
        QTest::qWait(100);
        QElapsedTimer stopping;
        stopping.start();
        detector.stop();
        const qint64 stopMs = stopping.elapsed();
        ::close(::open(fifo.constData(), O_WRONLY));
        QVERIFY2(stopMs < 2000, "stop waited for the blocked open"); // a bound, not a speed
        QCOMPARE(run(detector, QStringLiteral("2 0")), 1);
        QCOMPARE(finished.size(), 2);
    }

    // Without its OpenCV half beside the program a source says why and ends unopened. The half
    // stays loaded once loaded, so a copy of this test without it beside runs the check.
    void withoutModule()
    {
        if (QFile::exists(QCoreApplication::applicationDirPath() + "/" KELO_EYES_MODULE)) {
            QTemporaryDir dir;
            const QString copy = dir.filePath(QStringLiteral("tst_webth"));
            QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
            QProcess alone;
            alone.setProcessChannelMode(QProcess::MergedChannels);
            alone.start(copy, { QStringLiteral("withoutModule") });
            QVERIFY(alone.waitForFinished(30000));
            QVERIFY2(alone.exitCode() == 0, alone.readAll().constData());
            return;
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("camera cannot be used: .*kelocv"));
        Webth detector(eyeCascade);
        QSignalSpy finished(&detector, &Webth::finished);
        QCOMPARE(run(detector, QStringLiteral("2 0")), 0);
        QVERIFY(finished.size() == 1 && detector.eyes().isEmpty());
    }

    // Through the bridge: a blink is a press, but not one left over when the camera goes off.
    void bridge()
    {
        auto *wrap = new Wrapper; // ends the process when destroyed, so it never is
        QSignalSpy frames(wrap, &Wrapper::vid);
        QString shut; // eyes kept shut act as a switch held down
        QObject context;
        connect(&wrap->camera(), &Webth::vid, &context,
                [&] { shut += wrap->camera().closedFor() >= 0 ? u'c' : u'o'; });
        QCOMPARE(run(wrap->camera(), QStringLiteral("2 0 2 0")), 2);
        QVERIFY(shut == u"ococ" && wrap->camera().closedFor() < 0);
        const auto pressed = [wrap] { return wrap->press(QStringLiteral("webcam")) >= 0; };
        QCOMPARE(QList<bool>({ pressed(), pressed() }), QList<bool>({ true, false }));
        QVERIFY(frames.size() == 4 && frames[3][0].value<QImage>().size() == QSize(320, 240));
        QCOMPARE(run(wrap->camera(), QStringLiteral("2 0")), 1);
        wrap->coff();
        QVERIFY(!pressed());
    }
};

QTEST_MAIN(TestWebth)
#include "tst_webth.moc"
