#include "recordingplatform.h"
#include "spareweb.h"
#include "wrapper.h"

#include <QPainter>
#include <QResource>
#include <QSignalSpy>
#include <QTest>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QColor none(1, 2, 3);

// A 320 x 240 BGR frame: red left half, blue right half, a green band over the top 60 rows.
std::vector<uchar> makeFrame()
{
    std::vector<uchar> pixels;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const QColor c = y < 60 ? Qt::green : (x < 160 ? Qt::red : Qt::blue);
            pixels.insert(pixels.end(), { uchar(c.blue()), uchar(c.green()), uchar(c.red()) });
        }
    }
    return pixels;
}

// The item painted on a canvas of that size; pixels it leaves alone stay none.
QImage render(QQuickPaintedItem &item, int width, int height)
{
    item.setSize(QSizeF(width, height));
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(none);
    QPainter painter(&canvas);
    item.paint(&painter);
    return canvas;
}

// The colours at the corners and at a point, clockwise from the top left.
QList<QColor> corners(const QImage &image, QPoint inner)
{
    const QRect r = image.rect();
    return { image.pixelColor(r.topLeft()), image.pixelColor(r.topRight()),
             image.pixelColor(r.bottomRight()), image.pixelColor(r.bottomLeft()),
             image.pixelColor(inner) };
}

} // namespace

// The native bridge's polling flags, the two camera views, the sign-in entry and the bundle.
class TestBridge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Platform::replaceSystem(&platform);
        // The bridge ends the process when destroyed; one instance serves every case.
        wrap = new Wrapper;
    }

    void pendingFlagsAreHandedOutOnce()
    {
        QCOMPARE(wrap->blk(), 0);
        wrap->blinkSeen();
        wrap->blinkSeen();
        QCOMPARE(QList<int>({ wrap->hlk(), wrap->blk(), wrap->blk() }), QList<int>({ 0, 1, 0 }));
        wrap->headsetBlinkSeen();
        QCOMPARE(QList<int>({ wrap->blk(), wrap->hlk(), wrap->hlk() }), QList<int>({ 0, 1, 0 }));
    }

    // Nothing before a frame; then the frame's own pixels, stretched edge to edge without bars
    // (4:3 into 640 x 200), the green band a quarter of the height.
    void wrapperStretchesTheFrameAndSharesItsPixels()
    {
        QCOMPARE(corners(render(*wrap, 64, 48), { 32, 24 }), QList<QColor>(5, none));
        std::vector<uchar> pixels = makeFrame();
        QSignalSpy frames(wrap, &Wrapper::vid);
        wrap->showFrame(pixels.data());
        QCOMPARE(frames.size(), 1);
        const QImage shown = frames.first().first().value<QImage>();
        QCOMPARE(shown.size(), QSize(320, 240));
        QCOMPARE(shown.format(), QImage::Format_BGR888);
        QCOMPARE(shown.constBits(), pixels.data());
        const QImage canvas = render(*wrap, 640, 200);
        QCOMPARE(corners(canvas, { 10, 51 }),
                 QList<QColor>({ Qt::green, Qt::green, Qt::blue, Qt::red, Qt::red }));
        QCOMPARE(QList<QColor>({ canvas.pixelColor(639, 49), canvas.pixelColor(319, 120),
                                 canvas.pixelColor(320, 120) }),
                 QList<QColor>({ Qt::green, Qt::red, Qt::blue }));
    }

    void previewShowsWhatItIsGivenAndClearsOnNull()
    {
        Spareweb spare;
        QCOMPARE(render(spare, 100, 100).pixelColor(50, 50), none);
        std::vector<uchar> pixels = makeFrame();
        spare.refresh(QImage(pixels.data(), 320, 240, 960, QImage::Format_BGR888));
        QCOMPARE(corners(render(spare, 200, 400), { 50, 99 }),
                 QList<QColor>({ Qt::green, Qt::green, Qt::blue, Qt::red, Qt::green }));
        spare.refresh(QImage());
        QCOMPARE(render(spare, 200, 400).pixelColor(100, 200), none);
    }

    void signInEntryFollowsTheMenu()
    {
        wrap->osstart();
        QCOMPARE(QString::fromStdString(platform.signInLaunch("Kelo#")),
                 QCoreApplication::applicationFilePath());
        wrap->osstop();
        QVERIFY(platform.signInLaunch("Kelo#").empty());
    }

    void bundleHoldsEveryFileZlibCompressed()
    {
        for (const char *name : { "main.qml", "kelo.js", "lang.js", "click.wav", "da.txt", "df.txt",
                                  "ds.txt", "dg.txt" })
            QVERIFY2(QResource(u":/"_s + name).compressionAlgorithm() == QResource::ZlibCompression,
                     name);
        QCOMPARE(QResource(u":/click.wav"_s).uncompressedSize(), 6504);
    }

private:
    RecordingPlatform platform;
    Wrapper *wrap = nullptr;
};

QTEST_MAIN(TestBridge)
#include "tst_bridge.moc"
