#include "webth.h"
#include "wrapper.h"

#include <QElapsedTimer>
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

// Writes frames cut from OpenCV's Megamind sample (stored grey, 0 to 3 eyes found) as a
// colour image sequence, as a camera gives them, and returns the pattern that opens it; "x"
// is frame 0 left with one channel, a frame the detector must skip like a failed read.
QString sequence(const QTemporaryDir &dir, const QStringList &names, cv::Size size = {})
{
    for (int i = 0; i < names.size(); ++i) {
        const bool grey = names[i] == u"x";
        cv::Mat image
            = cv::imread(KELO_TEST_DATA "/eyes" + (grey ? "0" : names[i].toStdString()) + ".png");
        if (grey)
            cv::cvtColor(image, image, cv::COLOR_BGR2GRAY);
        if (!size.empty())
            cv::resize(image, image, size);
        cv::imwrite(dir.filePath(QString::asprintf("%03d.png", i)).toStdString(), image);
    }
    return dir.filePath(QStringLiteral("%03d.png"));
}

// Runs the detector over the frames to their end, "|" ending one source and opening the
// next; returns the blinks it saw.
int blinks(Webth &detector, const QString &frames)
{
    QSignalSpy blink(&detector, &Webth::blink);
    for (const QString &run : frames.split(u'|')) {
        QTemporaryDir dir;
        QSignalSpy finished(&detector, &Webth::finished);
        detector.openFile(sequence(dir, run.split(u' ', Qt::SkipEmptyParts)));
        if (!finished.wait(10000))
            qWarning("the sequence never finished");
    }
    return int(blink.size());
}

} // namespace

// The blink detector on real frames, through the same frame step the camera uses.
class TestWebth : public QObject
{
    Q_OBJECT

private slots:
    // Eye counts, frame by frame; a stop between "|"s keeps the last count.
    void blinkRule_data()
    {
        QTest::addColumn<int>("expected");
        QTest::newRow("2 0") << 1;
        QTest::newRow("3 0") << 1;
        QTest::newRow("2 1 0") << 0;
        QTest::newRow("1 0") << 0;
        QTest::newRow("2 0 0 2 0") << 2;
        QTest::newRow("2 x 0") << 1;
        QTest::newRow("2 | 0") << 1;
    }
    void blinkRule()
    {
        Webth detector(eyeCascade);
        QVERIFY(detector.hasCascade());
        QTEST(blinks(detector, QString::fromLatin1(QTest::currentDataTag())), "expected");
    }

    // Whatever the source's size, the frame handed over is the source at 320 x 240 with red,
    // 2-pixel boxes where the eyes were found, and nothing else drawn.
    void handedOverFrame_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("two eyes, 320 x 240") << "2" << QSize();
        QTest::newRow("two eyes, 1280 x 720") << "2" << QSize(1280, 720);
        QTest::newRow("no eye, 64 x 48") << "0" << QSize(64, 48);
    }
    void handedOverFrame()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        Webth detector(eyeCascade);
        QImage shown;
        connect(&detector, &Webth::vid, this, [&](uchar *pixels) {
            shown = QImage(pixels, 320, 240, 960, QImage::Format_BGR888).copy();
        });
        QTemporaryDir dir;
        QSignalSpy finished(&detector, &Webth::finished);
        detector.openFile(sequence(dir, { name }, cv::Size(size.width(), size.height())));
        QVERIFY(finished.wait(10000));
        QCOMPARE(shown.size(), QSize(320, 240));

        cv::Mat source = cv::imread(dir.filePath(QStringLiteral("000.png")).toStdString());
        cv::resize(source, source, cv::Size(320, 240), 0, 0, cv::INTER_LINEAR);
        const QColor red(255, 0, 0);
        int boxPixels = 0;
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) {
                const cv::Vec3b s = source.at<cv::Vec3b>(y, x);
                if (shown.pixelColor(x, y) != QColor(s[2], s[1], s[0])) {
                    QVERIFY2(shown.pixelColor(x, y) == red,
                             qPrintable(QString::asprintf("(%d, %d)", x, y)));
                    ++boxPixels;
                }
            }
        }
        const QList<QRect> eyes = detector.eyes();
        QCOMPARE(eyes.isEmpty(), name == u"0");
        for (const QRect &eye : eyes) {
            for (const QPoint p : { eye.topLeft(), eye.topLeft() + QPoint(1, 1), eye.bottomRight(),
                                    eye.bottomRight() - QPoint(1, 1) })
                QCOMPARE(shown.pixelColor(p), red);
            QVERIFY(shown.pixelColor(eye.center()) != red);
        }
        QVERIFY(boxPixels >= 4 * 15 * eyes.size());
    }

    // Without a usable cascade the picture still comes, no blink ever does, and one line says
    // why.
    void unusableCascade_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("corrupt") << QByteArray("<?xml version=\"1.0\"?>\n<opencv_storage><cascade>"
                                               "<stageType>BOOST</stageType><stages>oops");
    }
    void unusableCascade()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("eyes.xml")));
        QVERIFY(content.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(content) > 0));
        file.close();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("eyes.xml is missing or is not an eye"));
        Webth detector(file.fileName());
        QVERIFY(!detector.hasCascade());
        QSignalSpy frames(&detector, &Webth::vid);
        QCOMPARE(blinks(detector, QStringLiteral("2 0 3 0")), 0);
        QCOMPARE(frames.size(), 4);
    }

    // A camera that cannot be opened ends quietly; one that blocks (here a pipe nobody
    // writes) does not hold up stop, and the detector works again at once.
    void sourcesThatFail()
    {
        Webth detector(eyeCascade);
        QSignalSpy frames(&detector, &Webth::vid);
        QSignalSpy finished(&detector, &Webth::finished);
        detector.open(97);
        QVERIFY(finished.wait(10000));
        QVERIFY(!detector.isOn());
        QCOMPARE(frames.size(), 0);
        detector.open(-1);
        QVERIFY(!detector.isOn());

        QTemporaryDir dir;
        const QByteArray fifo = dir.filePath(QStringLiteral("camera")).toLocal8Bit();
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        detector.openFile(QString::fromLocal8Bit(fifo));
        QTest::qWait(100);
        QElapsedTimer clock;
        clock.start();
        detector.stop();
        const qint64 stopped = clock.elapsed();
        // Let the abandoned open end; it must report nothing.
        const int writer = ::open(fifo.constData(), O_WRONLY);
        QVERIFY(writer >= 0);
        ::close(writer);
        QVERIFY2(stopped < 2000, "stop waited for a blocked read");
        QVERIFY(!detector.isOn());
        QCOMPARE(blinks(detector, QStringLiteral("2 0")), 1);
        QTest::qWait(200);
        QCOMPARE(finished.size(), 2);
    }

    // Through the bridge: a blink is one press, the frame is shown, and a blink left over
    // when the camera stops is no press.
    void bridge()
    {
        auto *wrap = new Wrapper; // ends the process when destroyed, so it never is
        QSignalSpy shown(wrap, &Wrapper::vid);
        QCOMPARE(blinks(wrap->camera(), QStringLiteral("2 0 2 0")), 2);
        QCOMPARE(QList<int>({ wrap->blk(), wrap->blk() }), QList<int>({ 1, 0 }));
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown.last().first().value<QImage>().size(), QSize(320, 240));
        blinks(wrap->camera(), QStringLiteral("2 0"));
        QTemporaryDir dir;
        wrap->camera().openFile(sequence(dir, { "2", "2" }), 1000);
        wrap->coff();
        QCOMPARE(wrap->blk(), 0);
        QVERIFY(!wrap->camera().isOn());
    }
};

QTEST_MAIN(TestWebth)
#include "tst_webth.moc"
