#include "keym.h"
#include "mouse.h"
#include "recordingplatform.h"

#include <QRandomGenerator>
#include <QTest>

// The injectors' event sequences, recorded at the OS seam. Each row is a list of steps
// ("modif 1", "text cv", "mouse 12", ...) and the exact events they must produce.
class TestKeyM : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sequences_data();
    void sequences();
    void noKeyStaysDown();

private:
    void run(const QString &step);
    QStringList recorded() const;

    RecordingPlatform recording;
    KeyM keym { &recording };
    Mouse mouse { &recording };
};

void TestKeyM::init()
{
    // The injector's state is process-wide: start every row from mode 0 and last key 0.
    keym.modif(0);
    keym.keyb(0);
    recording.events.clear();
    // As on a French keyboard: on the key of 2, with no capital anywhere.
    recording.layout[u'\u00e9'] = '2';
}

void TestKeyM::run(const QString &step)
{
    const QString op = step.section(u' ', 0, 0);
    const QString arg = step.section(u' ', 1);
    if (op == u"text") {
        // One wide character per UTF-16 unit, as the front end hands strings over.
        std::wstring units;
        for (QChar c : arg)
            units += wchar_t(c.unicode());
        keym.text(units);
        return;
    }
    if (op == u"release") {
        mouse.release();
        return;
    }
    const int n = arg.toInt();
    if (op == u"keyb")
        keym.keyb(n);
    else if (op == u"modif")
        keym.modif(n);
    else if (op == u"special")
        keym.special(n);
    else if (op == u"up")
        keym.up(n);
    else if (op == u"down")
        keym.down(n);
    else if (op == u"chP")
        keym.chP(n);
    else if (op == u"mouse")
        mouse.start(n);
    else
        QFAIL(qPrintable("unknown step " + step));
}

QStringList TestKeyM::recorded() const
{
    QStringList out;
    for (const std::string &event : recording.events)
        out << QString::fromStdString(event);
    return out;
}

void TestKeyM::sequences_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("lastKey");

    const QStringList volumeUp(5, QStringLiteral("keyb 175"));
    QStringList volumeEvents;
    for (int i = 0; i < 5; ++i)
        volumeEvents << "key 175 down"
                     << "key 175 up";

    QTest::newRow("Enter") << QStringList { "keyb 13" }
                           << QStringList { "key 13 down", "key 13 up" } << 0 << 13;
    QTest::newRow("volume up five times") << volumeUp << volumeEvents << 0 << 175;
    QTest::newRow("key above 255 uses its low byte")
        << QStringList { "keyb 300" } << QStringList { "key 44 down", "key 44 up" } << 0 << 300;
    QTest::newRow("text ab, no mode")
        << QStringList { "text ab" }
        << QStringList { "uni 0061 down", "uni 0061 up", "uni 0062 down", "uni 0062 up" } << 0 << 0;
    QTest::newRow("Ctrl then cv") << QStringList { "modif 1", "text cv" }
                                  << QStringList { "key 17 down", "key 67 down",   "key 67 up",
                                                   "key 17 up",   "uni 0076 down", "uni 0076 up" }
                                  << 0 << 67;
    QTest::newRow("Shift survives keyb") << QStringList { "modif 4", "keyb 37" }
                                         << QStringList { "key 37 down", "key 37 up" } << 4 << 37;
    QTest::newRow("Shift pending after keyb reaches the next text")
        << QStringList { "modif 4", "keyb 37", "text a" }
        << QStringList { "key 37 down", "key 37 up", "key 16 down",
                         "key 65 down", "key 65 up", "key 16 up" }
        << 0 << 0x141;
    QTest::newRow("Caps cancels pending Ctrl")
        << QStringList { "modif 1", "modif 5", "text a" }
        << QStringList { "uni 0061 down", "uni 0061 up" } << 0 << 0;
    QTest::newRow("Caps on") << QStringList { "modif 5" } << QStringList {} << 5 << 0;
    QTest::newRow("Caps twice is off")
        << QStringList { "modif 5", "modif 5" } << QStringList {} << 0 << 0;
    QTest::newRow("Caps text ab, Shift released at the end")
        << QStringList { "modif 5", "text ab" }
        << QStringList { "key 16 down", "key 65 down", "key 65 up",
                         "key 66 down", "key 66 up",   "key 16 up" }
        << 5 << 0x142;
    QTest::newRow("Caps stays for the next text")
        << QStringList { "modif 5", "text a", "text b" }
        << QStringList { "key 16 down", "key 65 down", "key 65 up", "key 16 up",
                         "key 16 down", "key 66 down", "key 66 up", "key 16 up" }
        << 5 << 0x142;
    QTest::newRow("mode above 5 is Caps")
        << QStringList { "modif 7", "text a" }
        << QStringList { "key 16 down", "key 65 down", "key 65 up", "key 16 up" } << 7 << 0x141;
    QTest::newRow("Ctrl with ! sends the unshifted key")
        << QStringList { "modif 1", "text !" }
        << QStringList { "key 17 down", "key 49 down", "key 49 up", "key 17 up" } << 0 << 0x131;
    QTest::newRow("Windows with !")
        << QStringList { "modif 2", "text !" }
        << QStringList { "key 91 down", "key 49 down", "key 49 up", "key 91 up" } << 0 << 0x131;
    QTest::newRow("Alt with ! is left Alt")
        << QStringList { "modif 3", "text !" }
        << QStringList { "key 164 down", "key 49 down", "key 49 up", "key 164 up" } << 0 << 0x131;
    // A character the layout cannot type in the mode is still typed, as Unicode; in a Shift
    // mode as its capital. Shift on a sign acts as a keyboard's Shift.
    QTest::newRow("Ctrl with a character the layout lacks")
        << QStringList { "modif 1", QString::fromUtf16(u"text \u0175") }
        << QStringList { "key 17 down", "uni 0175 down", "uni 0175 up", "key 17 up" } << 0 << 17;
    QTest::newRow("Caps with a character the layout lacks")
        << QStringList { "modif 5", QString::fromUtf16(u"text a\u00e4") }
        << QStringList { "key 16 down",   "key 65 down", "key 65 up",
                         "uni 00c4 down", "uni 00c4 up", "key 16 up" }
        << 5 << 0x141;
    QTest::newRow("Shift on a letter whose key Shift turns into a digit")
        << QStringList { "modif 4", QString::fromUtf16(u"text \u00e9\u00e9") }
        << QStringList { "key 16 down", "uni 00c9 down", "uni 00c9 up",
                         "key 16 up",   "uni 00e9 down", "uni 00e9 up" }
        << 0 << 16;
    QTest::newRow("Shift on a digit")
        << QStringList { "modif 4", "text 1" }
        << QStringList { "key 16 down", "key 49 down", "key 49 up", "key 16 up" } << 0 << 49;
    QTest::newRow("negative mode: first character as a key, no modifier")
        << QStringList { "modif -1", "text ab" }
        << QStringList { "key 65 down", "key 65 up", "uni 0062 down", "uni 0062 up" } << 0 << 65;
    QTest::newRow("character beyond the BMP as two units")
        << QStringList { QString::fromUtf16(u"text \U0001F600") }
        << QStringList { "uni d83d down", "uni d83d up", "uni de00 down", "uni de00 up" } << 0 << 0;
    QTest::newRow("Alt+F4 then up(0)")
        << QStringList { "special 14", "up 0" }
        << QStringList { "key 18 down", "key 115 down", "key 115 up", "key 18 up", "key 115 up" }
        << 0 << 115;
    QTest::newRow("other special codes")
        << QStringList { "special 13", "special 0" } << QStringList {} << 0 << 0;
    QTest::newRow("empty text") << QStringList { "text " } << QStringList {} << 0 << 0;
    QTest::newRow("empty text keeps a pending Alt for the next text")
        << QStringList { "modif 3", "text ", "text x" }
        << QStringList { "key 164 down", "key 88 down", "key 88 up", "key 164 up" } << 0 << 88;
    QTest::newRow("empty text in Caps")
        << QStringList { "modif 5", "text " } << QStringList {} << 5 << 0;
    QTest::newRow("plan changes nothing")
        << QStringList { "chP 2", "text a" } << QStringList { "uni 0061 down", "uni 0061 up" } << 0
        << 0;
    QTest::newRow("down then up(0)") << QStringList { "down 65", "up 0" }
                                     << QStringList { "key 65 down", "key 65 up" } << 0 << 65;

    // The pointer's buttons. Moves go through the window system, not this seam; with no
    // screen at all they do nothing.
    QTest::newRow("clicks: left, right, double")
        << QStringList { "mouse 10", "mouse 11", "mouse 12" }
        << QStringList { "left down", "left up", "right down", "right up",
                         "left down", "left up", "left down",  "left up" }
        << 0 << 0;
    QTest::newRow("codes that do nothing, and moves without a screen")
        << QStringList { "mouse 0", "mouse 5",  "mouse 6",  "mouse 7",   "mouse 8",
                         "mouse 9", "mouse 15", "mouse -1", "mouse -13", "mouse 1",
                         "mouse 2", "mouse 3",  "mouse 4" }
        << QStringList {} << 0 << 0;
    QTest::newRow("a held click is let go by release")
        << QStringList { "mouse 13", "release", "release" }
        << QStringList { "left down", "left up" } << 0 << 0;
    QTest::newRow("release after the drag or a click sends nothing")
        << QStringList { "mouse 13", "mouse 14", "release", "mouse 13", "mouse 10", "release" }
        << QStringList { "left down", "left up", "left down", "left down", "left up" } << 0 << 0;
}

void TestKeyM::sequences()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    QFETCH(int, mode);
    QFETCH(int, lastKey);

    for (const QString &step : steps)
        run(step);
    QCOMPARE(recorded(), events);
    QCOMPARE(KeyM::modMode(), mode);
    QCOMPARE(KeyM::lastKey(), lastKey);
    const std::vector<std::string> held = recording.held();
    QVERIFY2(held.empty(), held.empty() ? "" : held.front().c_str());
}

// Whatever the user selects, in whatever order, no key is left pressed after any operation.
void TestKeyM::noKeyStaysDown()
{
    QRandomGenerator random(20261206);
    const QStringList texts { "",
                              "a",
                              "ab",
                              "!x",
                              QString::fromUtf16(u"\u00e9t\u00e9"),
                              QString::fromUtf16(u"\U0001F600b"),
                              "Hello world" };
    recording.layout[u'H'] = 0x148;
    for (int i = 0; i < 3000; ++i) {
        QString step;
        switch (random.bounded(6)) {
        case 0:
            step = "keyb " + QString::number(random.bounded(0, 300));
            break;
        case 1:
            step = "modif " + QString::number(random.bounded(-1, 8));
            break;
        case 2:
        case 3:
            step = "text " + texts.at(random.bounded(texts.size()));
            break;
        case 4:
            step = "special " + QString::number(random.bounded(12, 16));
            break;
        default:
            step = "up 0";
            break;
        }
        run(step);
        if (!recording.held().empty())
            QFAIL(qPrintable("after step " + QString::number(i) + " (" + step + ") "
                             + QString::fromStdString(recording.held().front()) + " is down"));
    }
}

QTEST_GUILESS_MAIN(TestKeyM)
#include "tst_keym.moc"
