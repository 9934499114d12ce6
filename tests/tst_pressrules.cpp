// The rules a switch press passes, poll by poll.

#include "pressrules.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestPressRules : public QObject
{
    Q_OBJECT

private slots:
    // settings: "hold 100", "debounce 100", "down 0" (presses at release), "cancels 1" (point
    // mode), "threshold 100". polls, 32 ms apart, "x*n" n times: "." nothing down, "E2" Escape
    // down, "E1" tapped since the last poll, "E6" down and let go since, "E7" let go and pressed
    // again since; K the switch key, P a pad, C the camera, S the pad's step button, "H120" a
    // headset report of strength 120, joined by "+"; "!E" and "!K": the program types that key.
    // expected, a word a poll: "-" none, "c" cancel, else how long ago (ms) the switch went down,
    // with "@" and the source taken where a row asks for it.
    void rules_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("polls");
        QTest::addColumn<QString>("expected");
        const auto row
            = [](const char *name, const char *settings, const char *polls, const char *expected) {
                  QTest::newRow(name) << QString::fromLatin1(settings) << QString::fromLatin1(polls)
                                      << QString::fromLatin1(expected);
              };
        row("taken at down, released 0.9 s later", "", "E2*28 .", "0 -*28");
        row("at release when asked, twice if let go between polls", "down 0",
            "E2*28 . K1 . E2 E7 E2 .", "-*28 0 0 - - 0 - 0");
        row("a pad at down, also when asked for releases", "down 0", "P2 P2 .", "0 - -");
        row("held long enough: for the moment it went down", "hold 100", "E2*5 . P2*5 C2*5",
            "-*4 128 - -*4 128 -*4 128");
        row("held too short, taps: none", "hold 100", "E2 E2 . E1 . K1 C1 .", "-*8");
        row("at release after the hold", "down 0; hold 100", "E2*5 . E2 E2 .", "-*5 0 -*3");
        row("sources together count once", "", "E1+P2+K1+C2 P2+C2 .", "0 - -");
        row("own Escape and key typed, then the user's", "", "!E E1 . E1 !K K2 . K1",
            "- - 0 - - 0");
        row("own typing not seen within three polls", "", "!E . . . E1", "- - - 0");
        row("repeats within 100 ms dropped", "debounce 100", "E1 . E1 . . P2 .", "0 - - - - 0 -");
        row("held a second cancels; no press until all are up", "cancels 1", "E2*33 E2+K1 . E1",
            "0 -*31 c - - 0");
        row("cancelled hold's release is no press", "down 0; cancels 1", "E2*33 .", "-*32 c -");
        row("no cancel outside point mode", "down 0", "E2*33 .", "-*33 0");
        row("a tap, the key seen down a poll later: one press", "", "E1 E2 E2 . E1", "0 - - - 0");
        row("let go and pressed again between polls: two", "", "E2 E7 E2 . K2 K7", "0 0 - - 0 0");
        row("held, let go alone (a key's repeat): one", "", "E2 E6 E2 .", "0 - - -");
        row("headset past its threshold only", "threshold 100", "H100 H101 H255+E1 .", "- 0 0 -");
        row("which source: the key, a blink, Escape with a pad, the step button", "",
            "K1 . H200 . E2+P2 . S2 .", "0@K - 0@H - 0@E - 0@S -");
    }
    void rules()
    {
        QFETCH(QString, settings);
        QFETCH(QString, polls);
        PressRules rules;
        for (const QString &setting : settings.split(u"; "_s, Qt::SkipEmptyParts)) {
            const int v = setting.section(u' ', 1).toInt();
            const QString name = setting.section(u' ', 0, 0);
            name == u"hold"           ? rules.setHold(v)
                : name == u"debounce" ? rules.setDebounce(v)
                : name == u"down"     ? rules.setPressDown(v != 0)
                : name == u"cancels"  ? rules.setHoldCancels(v != 0)
                                      : rules.setBlinkThreshold(v);
        }
        const auto expand = [](const QString &words) {
            QStringList out;
            for (const QString &word : words.split(u' ')) {
                const qsizetype star = word.indexOf(u'*');
                for (int i = 0; i < (star < 0 ? 1 : word.mid(star + 1).toInt()); ++i)
                    out << word.left(star);
            }
            return out;
        };
        QFETCH(QString, expected);
        const bool which = expected.contains(u'@');
        const QString sources = u"EKPCS"_s;
        QStringList got;
        qint64 now = 0;
        for (const QString &poll : expand(polls)) {
            if (poll.startsWith(u'!')) {
                rules.ownTyping(poll[1] == u'E' ? PressRules::Escape : PressRules::Key);
                continue;
            }
            now += 32;
            QMap<QChar, int> shown;
            for (const QString &part : poll.split(u'+'))
                shown[part[0]] = part.mid(1).toInt();
            for (int s = 0; s < PressRules::Sources; ++s) {
                const int state = shown.value(sources[s]);
                rules.level(PressRules::Source(s), state & 2, state & 1, now, -1, state & 4);
            }
            if (shown.contains(u'H'))
                rules.report(shown[u'H'], now, now);
            const int result = rules.take(now);
            got << (result == PressRules::none         ? u"-"_s
                        : result == PressRules::cancel ? u"c"_s
                                                       : QString::number(result));
            if (which && result >= 0)
                got.last() += u'@' + (sources + u'H')[rules.takenFrom()];
        }
        QCOMPARE(got.join(u' '), expand(expected).join(u' '));
    }
};

QTEST_MAIN(TestPressRules)
#include "tst_pressrules.moc"
