#include "keym.h"
#include "learnedwords.h"
#include "recordingplatform.h"
#include "wordlist.h"
#include "wordrank.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList fiveEmpty(5, QString());

// Lines as the scan reads them: text mode, UTF-8, no terminator, no byte-order mark at the
// start of the first.
QStringList readLines(const QString &path)
{
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine()).remove(u'\r').remove(u'\n');
        lines << (lines.isEmpty() && line.startsWith(QChar(0xFEFF)) ? line.mid(1) : line);
    }
    return lines;
}

// The scan the look-up replaces: the last five lines read, oldest first; reading stops once the
// oldest no longer sorts before the prefix.
QStringList lineScan(const QStringList &lines, QStringView prefix)
{
    QStringList five = fiveEmpty;
    for (qsizetype i = 0; !prefix.isEmpty() && i < lines.size(); ++i) {
        five.removeFirst();
        five.append(lines[i]);
        if (QString::localeAwareCompare(five.first(), prefix) >= 0)
            break;
    }
    return five;
}

} // namespace

// Word prediction against the line-by-line scan it replaces: named cases through KeyM, small
// awkward files, and random prefixes on the four bundled lists under several locales.
class TestWordList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 4; ++i) {
            lines[i] = readLines(u":/d%1.txt"_s.arg("afsg"[i]));
            QVERIFY(lines[i].size() > 20000);
        }
        const quint32 seed = qEnvironmentVariableIsSet("KELO_SEED")
            ? quint32(qEnvironmentVariableIntValue("KELO_SEED"))
            : 20261206u;
        random.seed(seed);
        qInfo("random prefixes from seed %u (set KELO_SEED to change it)", seed);
    }

    void keymNamedCases()
    {
        // The selected list is process-wide, so this runs before anything selects one.
        RecordingPlatform recording;
        KeyM keym(&recording);
        QCOMPARE(keym.t9(u"th"), fiveEmpty);
        keym.langp(7);
        QCOMPARE(keym.t9(u"th"), fiveEmpty);
        QLocale::setDefault(QLocale(u"en_US"_s));
        keym.langp(1);
        QCOMPARE(keym.t9(u""), fiveEmpty);
        // The file's first line carries the byte-order mark, the answer does not.
        QCOMPARE(keym.t9(u"a"), QStringList({ "a", "aa", "aal", "aalii", "aam" }));
        // No word begins with qx: the five from where it would be.
        QCOMPARE(keym.t9(u"qx"), QStringList({ "r", "ra", "raad", "raash", "rab" }));
        // Past the end, each list gives its last five lines: English's last is the closing
        // empty entry, French's has no terminator.
        const QString past = u"zzzzzzzzzzzzzzzzzzzz"_s;
        const QString last[] = { QString(), u"zythum"_s, u"úvula"_s, u"üppigkeit"_s };
        for (int language = 1; language <= 4; ++language) {
            keym.langp(language);
            QCOMPARE(keym.t9(past), lineScan(lines[language - 1], past));
            QCOMPARE(keym.t9(past).last(), last[language - 1]);
        }
        // Numbers other than 1 to 4 keep the list.
        keym.langp(2);
        keym.langp(7);
        QCOMPARE(keym.t9(past).last(), u"zythum"_s);
    }

    // Swedish sorts ä after z, so on the German list "ä" stops among the ä words at the end,
    // where in English it stops among the a words; the same list follows each change.
    void followsDefaultLocale()
    {
        QStringList firsts;
        for (const QString &name : { u"en_US"_s, u"sv_SE"_s, u"en_US"_s, u"sv_SE"_s }) {
            QLocale::setDefault(QLocale(name));
            const QStringList got = WordList::forLanguage(4)->complete(u"ä");
            QCOMPARE(got, lineScan(lines[3], u"ä"));
            firsts << got.first();
        }
        QVERIFY(firsts[0] != firsts[1]);
    }

    void awkwardFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("mark, three lines") << QByteArray("\xEF\xBB\xBF"
                                                         "b\r\nd\r\nf\r\n");
        QTest::newRow("LF, last open") << QByteArray("b\nd\nf\nh");
        QTest::newRow("mark alone, mark again") << QByteArray("\xEF\xBB\xBF\r\n\xEF\xBB\xBF"
                                                              "b\r\nc\r\n\r\nd\r\ne\r\nf\r\n");
        QTest::newRow("not sorted") << QByteArray("m\r\nb\r\nz\r\na\r\ny\r\nc\r\nx\r\nb\r\nn\r\n");
    }
    void awkwardFiles()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile file(dir.filePath("list"));
        QVERIFY(content.isNull()
                || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
        file.close();
        QLocale::setDefault(QLocale(u"en_US"_s));
        const WordList list(file.fileName());
        for (const QString &p :
             { u""_s, u"a"_s, u"b"_s, u"c"_s, u"e"_s, u"m"_s, u"zz"_s, u"\uFFFD"_s })
            QCOMPARE(list.complete(p), lineScan(readLines(file.fileName()), p));
    }

    void sameAsLineScan()
    {
        // The scan is slow on the long lists, so the short ones get more of the prefixes.
        const int counts[] = { 500, 450, 1500, 4300 };
        for (const QString &name : { u"en_US"_s, u"fr_FR"_s, u"de_DE"_s }) {
            QLocale::setDefault(QLocale(name));
            for (int i = 0; i < 4; ++i) {
                for (int n = 0; n < counts[i]; ++n) {
                    const QString prefix = randomPrefix(lines[i]);
                    const QStringList expected = lineScan(lines[i], prefix);
                    QVERIFY2(WordList::forLanguage(i + 1)->complete(prefix) == expected,
                             qPrintable(name + " " + QString::number(i + 1) + " " + prefix));
                }
            }
        }
    }

    // Order 1 ranks by frequency: ties and uncounted entries in list order, case and accents
    // ignored, only matching entries. Order 0 stays the line scan.
    void rankedOrders_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("expected"); // five entries, a space between each
        QTest::newRow("th") << 1 << u"TH"_s << u"the that their this they"_s;
        QTest::newRow("tie") << 1 << u"egr"_s
                             << u"egregious egress egregiously egregiousness egression"_s;
        QTest::newRow("uncounted")
            << 1 << u"ub"_s << u"ubiquitous ubiquity ubbenite ubbonite uberant"_s;
        QTest::newRow("none") << 1 << u"qx"_s << u"    "_s;
        QTest::newRow("fr") << 2 << u"ecol"_s << u"école écoles écologique écologiques écologie"_s;
        QTest::newRow("es") << 3 << u"ano"_s << u"año anónima anotar anotación anotador"_s;
        QTest::newRow("de") << 4 << u"strass"_s
                            << u"straße strass straßburgerin straßenkehrmaschinen "_s;
    }
    void rankedOrders()
    {
        QFETCH(int, language);
        QFETCH(QString, prefix);
        QFETCH(QString, expected);
        RecordingPlatform recording;
        KeyM keym(&recording);
        keym.langp(language);
        keym.rank(1);
        keym.rank(3); // ignored
        QCOMPARE(keym.t9(prefix), expected.split(u' '));
        keym.rank(0);
        QCOMPARE(keym.t9(prefix), lineScan(lines[language - 1], prefix));
    }

    // Order 1 against a stable sort by count of every matching entry, on random prefixes.
    void rankedSameAsSort()
    {
        for (int i = 0; i < 4; ++i) {
            QFile file(u":/f%1.txt"_s.arg("afsg"[i]));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QHash<QString, uint> counts;
            for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n'))
                counts.insert(line.section(u'\t', 0, 0), line.section(u'\t', 1).toUInt());
            QStringList folded;
            for (const QString &entry : lines[i])
                folded << WordRank::fold(entry);
            for (int n = 0; n < 100; ++n) {
                const QString prefix = randomPrefix(lines[i]), key = WordRank::fold(prefix);
                QStringList expected;
                for (qsizetype p = 0; p < folded.size() && !key.isEmpty(); ++p) {
                    if (folded[p].startsWith(key))
                        expected << lines[i][p];
                }
                std::stable_sort(expected.begin(), expected.end(),
                                 [&](auto &a, auto &b) { return counts[a] > counts[b]; });
                expected.resize(5);
                QVERIFY2(WordRank::forLanguage(i + 1)->complete(prefix) == expected,
                         qPrintable(prefix));
            }
        }
    }

    // Order 2 with its file in a temporary HOME: the user's words first, most used and then
    // latest first, no duplicates, per language; read back; forgotten.
    void learning()
    {
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QCoreApplication::setOrganizationName(u"Tarvo Technologies"_s);
        QCoreApplication::setApplicationName(u"Kelo#"_s);
        const QString path = home.filePath(u".config/Tarvo Technologies/Kelo#-words.txt"_s);
        RecordingPlatform recording;
        KeyM keym(&recording);
        keym.langp(1);
        keym.learn(u"thx"); // only order 2 learns
        keym.rank(2);
        for (const QString &w : { u"thx"_s, u"thx"_s, u"thumb"_s, u"the"_s, u""_s, u" th"_s,
                                  QString(65, u't'), u"th\tx"_s, u"th\u2028"_s })
            keym.learn(w);
        QCOMPARE(keym.t9(u"th"), QStringList({ "thx", "the", "thumb", "that", "their" }));
        keym.langp(2);
        QCOMPARE(keym.t9(u"th"), WordRank::forLanguage(2)->complete(u"th"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "Kelo# learned words 1\nen\t2\tthx\nen\t1\tthumb\nen\t1\tthe\n");
        QCOMPARE(LearnedWords().top(1, u"TH", 5), QStringList({ "thx", "the", "thumb" }));
        keym.forget();
        QVERIFY(!QFile::exists(path));
        keym.rank(0);
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QByteArray head = "Kelo# learned words 1\n";
        QTest::newRow("UTF-8") << head + "en\t1\tcaf\xE9\n" << u"line 2 is not valid UTF-8"_s;
        QTest::newRow("count 0") << head + "en\t0\tthe\n" << u"line 2 is not language"_s;
        QTest::newRow("CR") << head + "en\t1\tthe\r\n" << u"line 2 is not language"_s;
        QTest::newRow("twice") << head + "en\t1\tthe\nen\t2\tthe\n" << u"line 3 repeats"_s;
        QTest::newRow("no last LF") << head + "en\t1\tthe" << u"the last line"_s;
        QTest::newRow("too many") << head + QByteArray("en\t1\tw\n").repeated(5001)
                                  << u"more than"_s;
        QTest::newRow("size") << head + QByteArray(LearnedWords::maxFileBytes, '\n') << u"larger"_s;
    }
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"words.txt"_s)), aside(file.fileName() + u".bad"_s);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"words.txt is damaged \\("_s + reason));
        LearnedWords words(file.fileName());
        QCOMPARE(words.size(), 0);
        QVERIFY(file.open(QIODevice::ReadOnly) && aside.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "Kelo# learned words 1\n");
        QCOMPARE(aside.readAll(), content);
        words.forget();
        QVERIFY(!file.exists() && !aside.exists());
    }

    // At the bound a new word stays and the least used other goes, the oldest among equals.
    void bound()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(u"words.txt"_s));
        QByteArray content = "Kelo# learned words 1\nen\t2\tfirst\nen\t2\tsecond\n";
        for (int i = 2; i < LearnedWords::maxWords; ++i)
            content += "en\t2\tw" + QByteArray::number(i) + '\n';
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        LearnedWords words(file.fileName());
        for (const QString &w : { u"new"_s, u"new"_s, u"newer"_s, u"newest"_s })
            QVERIFY(words.learn(1, w) && !words.learn(5, w));
        QCOMPARE(LearnedWords(file.fileName()).size(), LearnedWords::maxWords);
        QCOMPARE(words.top(1, u"new", 5), QStringList({ "new", "newest" }));
        QCOMPARE(words.top(1, u"w", 1), QStringList({ "w4999" }));
        QVERIFY(words.top(1, u"first", 5).isEmpty() && words.top(1, u"second", 5).isEmpty());
    }

private:
    // The start of an entry as it is, with a character replaced, in capitals, a whole entry
    // and one more character, or past the end.
    QString randomPrefix(const QStringList &entries)
    {
        static const QString chars
            = u"abcdefghijklmnopqrstuvwxyzàâäçèéêëîïôöùûüáíñóúßABCXYZÀÉÇÖÜÑ0123456789 -'./"_s;
        const QChar any = chars[random.bounded(chars.size())];
        const QString entry = entries.at(random.bounded(entries.size())) + any;
        QString p = entry.left(1 + random.bounded(entry.size()));
        const int kind = random.bounded(6);
        if (kind == 0)
            p[random.bounded(p.size())] = any;
        else if (kind == 1)
            p = p.toUpper();
        else if (kind == 2)
            p = entry;
        else if (kind == 3)
            p = QString(2 + random.bounded(20), u'z');
        return p;
    }

    QStringList lines[4]; // the bundled lists as the scan reads them
    QRandomGenerator random;
};

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
