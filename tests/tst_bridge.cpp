#include "recordingplatform.h"
#include "spareweb.h"
#include "wrapper.h"

#include <QPainter>
#include <QResource>
#include <QSignalSpy>
#include <QTest>

#include <vector>

namespace {

const QColor sentinel(1, 2, 3);

// A 320 x 240 BGR frame: red left half, blue right half, a green band over the top 60 rows.
std::vector<uchar> makeFrame()
{
    std::vector<uchar> pixels(320 * 240 * 3);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            uchar *p = &pixels[size_t(y * 960 + x * 3)];
            const QColor c = y < 60 ? Qt::green : (x < 160 ? Qt::red : Qt::blue);
            p[0] = uchar(c.blue());
            p[1] = uchar(c.green());
            p[2] = uchar(c.red());
        }
    }
    return pixels;
}

QImage render(QQuickPaintedItem &item, int width, int height)
{
    item.setSize(QSizeF(width, height));
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(sentinel);
    QPainter painter(&canvas);
    item.paint(&painter);
    return canvas;
}

} // namespace

// The native bridge's polling flags and the two camera views.
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
        QCOMPARE(wrap->blk(), 1);
        QCOMPARE(wrap->blk(), 0);

        QCOMPARE(wrap->hlk(), 0);
        wrap->headsetBlinkSeen();
        QCOMPARE(wrap->blk(), 0);
        QCOMPARE(wrap->hlk(), 1);
        QCOMPARE(wrap->hlk(), 0);
    }

    void wrapperPaintsNothingBeforeAFrame()
    {
        const QImage canvas = render(*wrap, 64, 48);
        QCOMPARE(canvas.pixelColor(0, 0), sentinel);
        QCOMPARE(canvas.pixelColor(63, 47), sentinel);
    }

    void wrapperStretchesTheFrameAndSharesItsPixels()
    {
        std::vector<uchar> pixels = makeFrame();
        QSignalSpy frames(wrap, &Wrapper::vid);
        wrap->showFrame(pixels.data());
        QCOMPARE(frames.size(), 1);
        const QImage shown = frames.first().first().value<QImage>();
        QCOMPARE(shown.size(), QSize(320, 240));
        QCOMPARE(shown.format(), QImage::Format_BGR888);
        QCOMPARE(shown.constBits(), pixels.data());

        // 4:3 frame into a 640 x 200 item: filled edge to edge, no bars.
        const QImage canvas = render(*wrap, 640, 200);
        QCOMPARE(canvas.pixelColor(0, 0), QColor(Qt::green));
        QCOMPARE(canvas.pixelColor(639, 49), QColor(Qt::green));
        QCOMPARE(canvas.pixelColor(0, 199), QColor(Qt::red));
        QCOMPARE(canvas.pixelColor(319, 120), QColor(Qt::red));
        QCOMPARE(canvas.pixelColor(320, 120), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(639, 199), QColor(Qt::blue));
        // The green band is a quarter of the height at any size.
        QCOMPARE(canvas.pixelColor(10, 51), QColor(Qt::red));
    }

    void previewShowsWhatItIsGivenAndClearsOnNull()
    {
        Spareweb spare;
        QCOMPARE(render(spare, 100, 100).pixelColor(50, 50), sentinel);
        std::vector<uchar> pixels = makeFrame();
        spare.refresh(QImage(pixels.data(), 320, 240, 960, QImage::Format_BGR888));
        const QImage canvas = render(spare, 200, 400);
        QCOMPARE(canvas.pixelColor(0, 0), QColor(Qt::green));
        QCOMPARE(canvas.pixelColor(199, 399), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(0, 399), QColor(Qt::red));
        spare.refresh(QImage());
        QCOMPARE(render(spare, 200, 400).pixelColor(100, 200), sentinel);
    }

    void typedEscapeIsNotASwitchPress()
    {
        // What the global Escape state reads at each poll: 1 = went down since the last one.
        const auto polls = [this](std::initializer_list<int> states) {
            QList<int> seen;
            for (const int state : states) {
                platform.escape = state;
                seen.append(wrap->joyesc());
            }
            return seen;
        };
        QCOMPARE(polls({ 0, 1, 0, 0 }), QList<int>({ 0, 0, 1, 0 }));
        wrap->keyb(27);
        QCOMPARE(polls({ 1, 0, 0 }), QList<int>({ 0, 0, 0 }));
        // The user's next tap counts again, and so does one after an unnoticed typed Escape.
        QCOMPARE(polls({ 1, 0 }), QList<int>({ 0, 1 }));
        wrap->keyb(27);
        QCOMPARE(polls({ 0, 0, 0, 1, 0 }), QList<int>({ 0, 0, 0, 0, 1 }));
        platform.escape = 0;
    }

    void signInEntryFollowsTheMenu()
    {
        wrap->osstart();
        QCOMPARE(QString::fromStdString(platform.signInLaunch("Kelo#")),
                 QCoreApplication::applicationFilePath());
        wrap->osstart();
        QCOMPARE(platform.signIn.size(), size_t(1));
        wrap->osstop();
        QVERIFY(platform.signInLaunch("Kelo#").empty());
    }

    void bundleHoldsEveryFileZlibCompressed()
    {
        for (const char *name : { "main.qml", "kelo.js", "lang.js", "click.wav", "da.txt", "df.txt",
                                  "ds.txt", "dg.txt" }) {
            const QResource file(QStringLiteral(":/") + QLatin1String(name));
            QVERIFY2(file.isValid(), name);
            QCOMPARE(file.compressionAlgorithm(), QResource::ZlibCompression);
        }
        QCOMPARE(QResource(QStringLiteral(":/click.wav")).uncompressedSize(), 6504);
    }

private:
    RecordingPlatform platform;
    Wrapper *wrap = nullptr;
};

QTEST_MAIN(TestBridge)
#include "tst_bridge.moc"
