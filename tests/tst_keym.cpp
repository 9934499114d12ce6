#include "keym.h"
#include "mouse.h"
#include "recordingplatform.h"

#include <QTest>

#include <map>

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
        const auto row = [](const char *name, const char16_t *steps, const char *events, int mode,
                            int lastKey) {
            QTest::newRow(name) << QString::fromUtf16(steps) << events << mode << lastKey;
        };
        row("keys, above 255 its low byte", u"keyb 13 175 175 300",
            "13+ 13- 175+ 175- 175+ 175- 44+ 44-", 0, 300);
        row("text as Unicode; nothing from others", u"special 13 0; chP 2; text ; text a\U0001F600",
            "u0061+ u0061- ud83d+ ud83d- ude00+ ude00-", 0, 0);
        // A one-shot modifier goes with the very next key, whatever it is, and only with it; Caps
        // lasts and is for characters alone.
        row("Shift+Left, Ctrl+Enter, then plain keys", u"modif 4; keyb 37; text a; modif 1; keyb 13 13",
            "16+ 37+ 37- 16- u0061+ u0061- 17+ 13+ 13- 17- 13+ 13-", 0, 13);
        row("Caps leaves keys alone", u"modif 5; keyb 9", "9+ 9-", 5, 9);
        row("Caps cancels pending Ctrl", u"modif 1 5; text a", "u0061+ u0061-", 0, 0);
        row("Caps stays, Shift released after each text", u"modif 5; text ab; text ; text c",
            "16+ 65+ 65- 66+ 66- 16- 16+ 67+ 67- 16-", 5, 0x143);
        // Alt is left Alt; the unshifted key goes with the modifier.
        row("Ctrl, Windows, Alt with !", u"modif 1; text !; modif 2; text !; modif 3; text !",
            "17+ 49+ 49- 17- 91+ 49+ 49- 91- 164+ 49+ 49- 164-", 0, 0x131);
        // A character the layout cannot type in the mode goes as Unicode, in a Shift mode as
        // its capital.
        row("Shift on a digit, on a letter whose key Shift makes a digit",
            u"modif 4; text 1; modif 4; text \u00e9\u00e9",
            "16+ 49+ 49- 16- 16+ u00c9+ u00c9- 16- u00e9+ u00e9-", 0, 16);
        row("Alt+F4, down, up(0)", u"special 14; up 0; down 65; up 0",
            "18+ 115+ 115- 18- 115- 65+ 65-", 0, 65);
        row("empty text keeps a pending Alt", u"modif 3; text ; text x", "164+ 88+ 88- 164-", 0,
            88);
        // Moves go through the window system, not this seam; without a screen they do nothing.
        row("clicks: left, right, double; codes that do nothing",
            u"mouse 10 11 12 0 5 6 7 8 9 15 -1 -13 1 2 3 4", "L+ L- R+ R- L+ L- L+ L-", 0, 0);
        row("release lets go of a held click only",
            u"mouse 13; release; release; mouse 13 14; release; mouse 13 10; release",
            "L+ L- L+ L- L+ L+ L-", 0, 0);
    }
    void sequences()
    {
        QFETCH(QString, steps);
        for (const QString &step : steps.split(QStringLiteral("; ")))
            run(step);
        QTEST(recorded(), "events");
        QTEST(KeyM::modMode(), "mode");
        QTEST(KeyM::lastKey(), "lastKey");
        QVERIFY(recording.held().empty());
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
        using Op = void (KeyM::*)(int);
        static const std::map<QString, Op> ops {
            { "keyb", &KeyM::keyb }, { "modif", &KeyM::modif }, { "special", &KeyM::special },
            { "up", &KeyM::up },     { "down", &KeyM::down },   { "chP", &KeyM::chP }
        };
        for (const QString &word : arg.split(u' ')) {
            if (op == u"mouse")
                mouse.start(word.toInt());
            else
                (keym.*ops.at(op))(word.toInt());
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
