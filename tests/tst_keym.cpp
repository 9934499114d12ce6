#include "keym.h"
#include "mouse.h"
#include "recordingplatform.h"

#include <QRandomGenerator>
#include <QTest>

// The injectors' event sequences, recorded at the OS seam. Events read "17+" (virtual key 17
// down), "u0061-" (Unicode unit up), "L+" and "R-" (pointer buttons).
class TestKeyM : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // The injector's state is process-wide: every row starts from mode 0 and last key 0.
        keym.modif(0);
        keym.keyb(0);
        recording.events.clear();
        // As on a French keyboard: on the key of 2, with no capital anywhere.
        recording.layout[u'\u00e9'] = '2';
    }

    void sequences_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("events");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("lastKey");
        const auto row = [](const char *name, const QString &steps, const char *events, int mode,
                            int lastKey) {
            QTest::newRow(name) << steps << events << mode << lastKey;
        };
        row("Enter", "keyb 13", "13+ 13-", 0, 13);
        row("the same key twice", "keyb 175 175", "175+ 175- 175+ 175-", 0, 175);
        row("key above 255 uses its low byte", "keyb 300", "44+ 44-", 0, 300);
        row("text, no mode", "text ab", "u0061+ u0061- u0062+ u0062-", 0, 0);
        row("Ctrl then cv", "modif 1; text cv", "17+ 67+ 67- 17- u0076+ u0076-", 0, 67);
        row("Shift survives keyb", "modif 4; keyb 37", "37+ 37-", 4, 37);
        row("Shift pending after keyb reaches the next text", "modif 4; keyb 37; text a",
            "37+ 37- 16+ 65+ 65- 16-", 0, 0x141);
        row("Caps cancels pending Ctrl", "modif 1 5; text a", "u0061+ u0061-", 0, 0);
        row("Caps on", "modif 5", "", 5, 0);
        row("Caps twice is off", "modif 5 5", "", 0, 0);
        row("Caps text, Shift released at the end", "modif 5; text ab", "16+ 65+ 65- 66+ 66- 16-",
            5, 0x142);
        row("Caps stays for the next text", "modif 5; text a; text b",
            "16+ 65+ 65- 16- 16+ 66+ 66- 16-", 5, 0x142);
        row("mode above 5 is Caps", "modif 7; text a", "16+ 65+ 65- 16-", 7, 0x141);
        row("Ctrl with ! sends the unshifted key", "modif 1; text !", "17+ 49+ 49- 17-", 0, 0x131);
        row("Windows with !", "modif 2; text !", "91+ 49+ 49- 91-", 0, 0x131);
        row("Alt with ! is left Alt", "modif 3; text !", "164+ 49+ 49- 164-", 0, 0x131);
        // A character the layout cannot type in the mode goes as Unicode, in a Shift mode as
        // its capital.
        row("Ctrl with a character the layout lacks", QString::fromUtf16(u"modif 1; text \u0175"),
            "17+ u0175+ u0175- 17-", 0, 17);
        row("Caps with a character the layout lacks", QString::fromUtf16(u"modif 5; text a\u00e4"),
            "16+ 65+ 65- u00c4+ u00c4- 16-", 5, 0x141);
        row("Shift on a letter whose key Shift turns into a digit",
            QString::fromUtf16(u"modif 4; text \u00e9\u00e9"),
            "16+ u00c9+ u00c9- 16- u00e9+ u00e9-", 0, 16);
        row("Shift on a digit", "modif 4; text 1", "16+ 49+ 49- 16-", 0, 49);
        row("negative mode: first character as a key, no modifier", "modif -1; text ab",
            "65+ 65- u0062+ u0062-", 0, 65);
        row("beyond the BMP as two units", QString::fromUtf16(u"text \U0001F600"),
            "ud83d+ ud83d- ude00+ ude00-", 0, 0);
        row("Alt+F4 then up(0)", "special 14; up 0", "18+ 115+ 115- 18- 115-", 0, 115);
        row("other special codes", "special 13 0", "", 0, 0);
        row("empty text", "text ", "", 0, 0);
        row("empty text keeps a pending Alt", "modif 3; text ; text x", "164+ 88+ 88- 164-", 0, 88);
        row("empty text in Caps", "modif 5; text ", "", 5, 0);
        row("plan changes nothing", "chP 2; text a", "u0061+ u0061-", 0, 0);
        row("down then up(0)", "down 65; up 0", "65+ 65-", 0, 65);
        // Moves go through the window system, not this seam; without a screen they do nothing.
        row("clicks: left, right, double", "mouse 10 11 12", "L+ L- R+ R- L+ L- L+ L-", 0, 0);
        row("codes that do nothing", "mouse 0 5 6 7 8 9 15 -1 -13 1 2 3 4", "", 0, 0);
        row("a held click is let go by release", "mouse 13; release; release", "L+ L-", 0, 0);
        row("release after the drag or a click sends nothing",
            "mouse 13 14; release; mouse 13 10; release", "L+ L- L+ L+ L-", 0, 0);
    }
    void sequences()
    {
        QFETCH(QString, steps);
        QFETCH(QString, events);
        for (const QString &step : steps.split(QStringLiteral("; ")))
            run(step);
        QCOMPARE(recorded(), events);
        QTEST(KeyM::modMode(), "mode");
        QTEST(KeyM::lastKey(), "lastKey");
        QVERIFY(recording.held().empty());
    }

    // Whatever the user selects, in whatever order, no key is left pressed after any step.
    void noKeyStaysDown()
    {
        QRandomGenerator random(20261206);
        const QString texts[] = { "",
                                  "a",
                                  "ab",
                                  "!x",
                                  QString::fromUtf16(u"\u00e9t\u00e9"),
                                  QString::fromUtf16(u"\U0001F600b"),
                                  "Hello world" };
        recording.layout[u'H'] = 0x148;
        for (int i = 0; i < 3000; ++i) {
            const int kind = random.bounded(6);
            const QString step = kind == 0 ? "keyb " + QString::number(random.bounded(300))
                : kind == 1                ? "modif " + QString::number(random.bounded(-1, 8))
                : kind <= 3                ? "text " + texts[random.bounded(7)]
                : kind == 4                ? "special " + QString::number(random.bounded(12, 16))
                                           : "up 0";
            run(step);
            QVERIFY2(recording.held().empty(), qPrintable(step));
        }
    }

private:
    // "op n m ..." applies op to each number; "text" types the rest as UTF-16 units.
    void run(const QString &step)
    {
        const QString op = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
        if (op == u"text") {
            const std::u16string units = arg.toStdU16String();
            return keym.text({ units.begin(), units.end() });
        }
        if (op == u"release")
            return mouse.release();
        for (const QString &word : arg.split(u' ')) {
            const int n = word.toInt();
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
                QFAIL(qPrintable(step));
        }
    }
    QString recorded() const
    {
        QStringList out;
        for (const std::string &event : recording.events)
            out << QString::fromStdString(event);
        return out.join(u' ')
            .replace(" down", "+")
            .replace(" up", "-")
            .replace("key ", "")
            .replace("uni ", "u")
            .replace("left", "L")
            .replace("right", "R");
    }

    RecordingPlatform recording;
    KeyM keym { &recording };
    Mouse mouse { &recording };
};

QTEST_GUILESS_MAIN(TestKeyM)
#include "tst_keym.moc"
