#include "contextmodel.h"
#include "contextmodelwriter.h"
#include "learnedwords.h"
#include "predictor.h"
#include "wordlist.h"
#include "wordrank.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList fiveEmpty(5, QString());

// Lines as the scan reads them: text mode, UTF-8, no byte-order mark at the start of the first.
QStringList readLines(const QString &path)
{
    QStringList lines;
    QFile file(path);
    for (bool ok = file.open(QIODevice::ReadOnly | QIODevice::Text); ok && !file.atEnd();) {
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

bool writeFile(QFile &file, const QByteArray &content)
{
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    file.close();
    return ok;
}

} // namespace

// Word prediction against the line-by-line scan it replaces, the ranked orders and learning.
class TestWordList : public QObject
{
    Q_OBJECT

private slots:
    // No list before a language is chosen, and 7 chooses none.
    void initTestCase()
    {
        for (int i = 0; i < 4; ++i)
            QVERIFY((lines[i] = readLines(u":/d%1.txt"_s.arg("afsg"[i]))).size() > 20000);
        Predictor predictor;
        predictor.lang(7);
        QCOMPARE(predictor.t9(u"th"), fiveEmpty);
    }

    // Prefixes against the scan: the predictor on a bundled list under a locale (sv_SE sorts ä
    // after z: "ä" stops at the end; numbers past 4 keep the list), or a list file (language 0).
    void lookups_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("prefixes");
        QTest::addColumn<QByteArray>("content");
        const auto row = [](const char *name, int language, const char *locale, const char *p,
                            const QByteArray &content = {}) {
            QTest::newRow(name) << language << QString::fromLatin1(locale) << QString::fromUtf8(p)
                                << content;
        };
        row("en", 1, "en_US", "a qx TH ab' zythum zyx zzzzzzzzzzzz 0 - é Éc");
        row("fr", 2, "fr_FR", "é écol Ecol zèbre ÿ zzzzzzzz ça");
        row("es", 3, "en_US", "ñ año an ÚVULA úvula úvulaz zzz");
        row("de en", 4, "en_US", "ä straß STRASS ü üppigkeit zzzzz");
        row("de sv", 4, "sv_SE", "ä äz ö z zzzzz ü");
        const char *any = "a b c e m zz \uFFFD";
        row("mark, three lines", 0, "en_US", any,
            "\xEF\xBB\xBF"
            "b\r\nd\r\nf\r\n");
        row("not sorted", 0, "en_US", any, "m\r\nb\r\nz\r\na\r\ny\r\nc\r\nx\r\nb\r\nn\r\n");
    }
    void lookups()
    {
        QFETCH(int, language);
        QFETCH(QString, locale);
        QFETCH(QString, prefixes);
        QFETCH(QByteArray, content);
        QLocale::setDefault(QLocale(locale));
        QTemporaryDir dir;
        QFile file(dir.filePath("list"));
        QVERIFY(language || writeFile(file, content));
        const WordList list(file.fileName());
        Predictor predictor;
        predictor.lang(language);
        predictor.lang(0);
        const QStringList scanned = language ? lines[language - 1] : readLines(file.fileName());
        for (const QString &p : (u" "_s + prefixes).split(u' ')) {
            QVERIFY2((language ? predictor.t9(p) : list.complete(p)) == lineScan(scanned, p),
                     qPrintable(p));
        }
    }

    // Order 1 ranks by frequency: ties and uncounted entries in list order, case and accents
    // ignored, only matching entries. Order 0 stays the line scan.
    void rankedOrders_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("expected"); // five entries, a space between each
        const auto row = [](int language, const char *prefix, const char *expected) {
            QTest::newRow(prefix) << language << QString::fromUtf8(prefix)
                                  << QString::fromUtf8(expected);
        };
        row(1, "TH", "the that their this they");
        row(1, "egr", "egregious egress egregiously egregiousness egression"); // ties
        row(1, "ub", "ubiquitous ubiquity ubbenite ubbonite uberant"); // the last three uncounted
        row(1, "qx", "    ");
        row(2, "ecol", "école écoles écologique écologiques écologie");
        row(3, "ano", "año anónima anotar anotación anotador");
        row(4, "strass", "straße strass straßburgerin straßenkehrmaschinen ");
    }
    void rankedOrders()
    {
        QFETCH(int, language);
        QFETCH(QString, prefix);
        QFETCH(QString, expected);
        Predictor predictor;
        predictor.lang(language);
        predictor.rank(1);
        predictor.rank(4); // ignored
        QCOMPARE(predictor.t9(prefix), expected.split(u' '));
        predictor.rank(0);
        QCOMPARE(predictor.t9(prefix), lineScan(lines[language - 1], prefix));
    }

    // Orders 2 and 3 from an earlier version's file: the user's words first, most used then
    // latest, once, per language; pairs after the word before; no digits or signs; forgotten.
    void learning()
    {
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QCoreApplication::setOrganizationName(u"Tarvo Technologies"_s);
        QCoreApplication::setApplicationName(u"Kelo#"_s);
        const QString path = home.filePath(u".config/Tarvo Technologies/Kelo#-words.txt"_s);
        QFile file(path);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(writeFile(file, "Kelo# learned words 1\nen\t3\tthumb\nen\t1\tth1s\n"));
        Predictor predictor;
        predictor.lang(1);
        predictor.learn(u"thx"); // only orders 2 and 3 learn
        predictor.rank(2);
        for (const QString &w : { u"thx"_s, u"thx"_s, u"the"_s, u""_s, u" th"_s, QString(65, u't'),
                                  u"th\tx"_s, u"th\u2028"_s, u"th3m"_s, u"th-"_s, u"th!"_s })
            predictor.learn(w);
        QCOMPARE(predictor.t9(u"th"), QStringList({ "thumb", "thx", "the", "that", "their" }));
        predictor.rank(3);
        predictor.learn(u"thx");
        QCOMPARE(predictor.t9(u"TH").mid(0, 3), QStringList({ "thx", "the", "thumb" }));
        QCOMPARE(predictor.next().mid(0, 2), QStringList({ "thx", "the" }));
        predictor.lang(2);
        QCOMPARE(predictor.t9(u"th").first(), WordRank::forLanguage(2)->complete(u"th").first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 "Kelo# learned words 2\nen\t3\tthumb\nen\t2\tthx\tthx\nen\t1\tthe\n"
                 "en\t1\tthx\tthe\nen\t3\tthx\n");
        QCOMPARE(LearnedWords().top(1, u"TH", 5), QStringList({ "thx", "thumb", "the" }));
        predictor.forget();
        QVERIFY(!QFile::exists(path));
        predictor.lang(1);
        QVERIFY(!predictor.next().contains(u"thx"_s));
        predictor.rank(0);
    }

    // A model of a tiny corpus, whole and pruned to a word per history: probabilities add up to
    // one; the discounted trigram; backing off; look-ups and letters by context; a cut file.
    void contextModel_data()
    {
        QTest::addColumn<int>("keep");
        QTest::newRow("whole") << 10;
        QTest::newRow("pruned") << 1;
    }
    void contextModel()
    {
        QFETCH(int, keep);
        ContextModelWriter writer;
        for (const char *s : { "the cat sat", "the cat ran", "the dog sat", "a dog ran", "the cat sat" })
            writer.countSentence(QString::fromLatin1(s).split(u' '));
        writer.estimate(0.5);
        const QByteArray bytes = writer.write(keep, keep);
        const ContextModel m({}, bytes);
        QVERIFY2(m.isValid(), qPrintable(m.error()));
        QVERIFY(!ContextModel({}, bytes.chopped(8)).isValid());
        const auto id = [&](const char *w) { return m.id(QString::fromLatin1(w)); };
        QCOMPARE(id("zebra"), ContextModel::none);
        const quint32 none = ContextModel::none;
        for (const auto &[h2, h1] : { std::pair(none, none), std::pair(none, id("the")),
                                      std::pair(id("<s>"), id("the")), std::pair(id("the"), id("cat")),
                                      std::pair(id("zebra"), id("dog")) }) {
            double sum = 0;
            for (quint32 w = 0; w < quint32(m.size()); ++w)
                sum += m.prob(w, h2, h1);
            QVERIFY2(qAbs(sum - 1) < 1e-5, qPrintable(u"%1 %2: %3"_s.arg(h2).arg(h1).arg(sum)));
        }
        // (2 - 0.5) / 3 + (0.5 * 2 / 3) * ((2 - 0.5) / 3 + (0.5 * 2 / 3) * 3 / 15)
        if (keep > 1)
            QVERIFY(qAbs(m.prob(id("sat"), id("the"), id("cat")) - 0.688889) < 1e-5);
        QVERIFY(qAbs(m.prob(id("ran"), none, id("zebra")) - 2.0 / 15) < 1e-6);
        const ContextModel::Guesses two = m.top({}, id("<s>"), id("the"), 2);
        QCOMPARE(two.size(), 2u);
        QCOMPARE(two[0].word, u"cat"_s);
        QCOMPARE(two[1].word, keep > 1 ? u"dog"_s : u"the"_s); // "dog" pruned: backed off twice
        QCOMPARE(m.top(u"D", none, none, 5).size(), 1u);
        const auto letters = m.letters({}, id("<s>"), id("the"), 6);
        QCOMPARE(letters.front().first, u'c');
        QVERIFY(qAbs(letters.front().second - m.prob(id("cat"), id("<s>"), id("the"))) < 1e-6);
        QCOMPARE(m.letters(u"c", id("the"), id("cat"), 6).size(), 1u); // only "cat"
        for (const auto &[letter, p] : m.letters({}, id("<s>"), id("the"), 6, { id("cat"), id("dog") }))
            QVERIFY(letter != u'c' && letter != u'd'); // offered whole, their letters lead nowhere
    }

    // The bundled English model: next words (none with order 1), order 3 against 1, letters.
    void context_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("first");
        QTest::newRow("next") << u"thank"_s << u""_s << u"you"_s;
        QTest::newRow("order 3") << u"united"_s << u"s"_s << u"states"_s;
        QTest::newRow("two words") << u"new york"_s << u"ti"_s << u"times"_s;
    }
    void context()
    {
        QFETCH(QString, before);
        QFETCH(QString, prefix);
        QFETCH(QString, first);
        Predictor predictor(u"/nonexistent/words.txt"_s);
        predictor.lang(1);
        predictor.pause(true);
        predictor.rank(1);
        for (const QString &w : before.split(u' '))
            predictor.learn(w);
        QCOMPARE(predictor.next(), fiveEmpty);
        QVERIFY(prefix.isEmpty() || predictor.t9(prefix).first() != first);
        predictor.rank(3);
        const auto answer = [&] { return prefix.isEmpty() ? predictor.next() : predictor.t9(prefix); };
        QCOMPARE(answer().first(), first);
        QCOMPARE(predictor.letters(prefix).front(), first[prefix.size()]);
        predictor.sentence();
        QVERIFY(answer().first() != first);
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("kept");
        const QByteArray head = "Kelo# learned words 2\n", the = "en\t2\tthe\n";
        QTest::newRow("UTF-8") << head + "en\t1\tcaf\xE9\n" + the << u"line 2 is not valid UTF-8"_s
                               << head + the;
        QTest::newRow("twice") << head + the + "en\t1\tthe\n" << u"line 3 repeats"_s << head + the;
        QTest::newRow("cut short")
            << head + the + "en\t1\tsu" << u"the last line has no line end"_s << head + the;
        QTest::newRow("no head") << "\x7f\x01\n" + the << u"line 1 is not language"_s << head + the;
        QTest::newRow("size") << head + the + QByteArray(LearnedWords::maxFileBytes, '\n')
                              << u"larger"_s << head + the;
    }
    // The damaged lines left out, the rest kept; each damage's file kept aside under a name of its
    // own, up to a few; forgetting removes them all.
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"words.txt"_s));
        const auto aside = [&](int n) {
            QFile copy(file.fileName() + (n == 1 ? u".bad"_s : u".bad.%1"_s.arg(n)));
            return copy.open(QIODevice::ReadOnly) ? copy.readAll() : QByteArray("none");
        };
        for (int n = 1; n <= LearnedWords::maxAside + 1; ++n) {
            QVERIFY(writeFile(file, content));
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(u"words.txt is damaged \\("_s + reason));
            LearnedWords words(file.fileName());
            QCOMPARE(words.top(1, u"th", 5), QStringList({ "the" }));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), kept);
            file.close();
            QCOMPARE(
                file.permissions()
                    & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                QFile::Permissions());
            QCOMPARE(aside(std::min(n, LearnedWords::maxAside)), content);
        }
        QCOMPARE(aside(LearnedWords::maxAside + 1), "none");
        LearnedWords(file.fileName()).forget();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    // A file that is a link or cannot be read is never written: words are learned for the run.
    void refusedFile_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("dangling link") << u"gone.txt"_s;
        QTest::newRow("link to a file") << u"other.txt"_s;
        if (geteuid() != 0) // root reads any file
            QTest::newRow("unreadable") << QString();
    }
    void refusedFile()
    {
        QFETCH(QString, link);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"words.txt"_s)), other(dir.filePath(u"other.txt"_s));
        QVERIFY(writeFile(other, "mine\n"));
        if (link.isEmpty())
            QVERIFY(writeFile(file, "Kelo# learned words 2\n")
                    && file.setPermissions(QFile::WriteOwner));
        else
            QVERIFY(QFile::link(dir.filePath(link), file.fileName()));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"words.txt (is a symbolic link|cannot "
                                                "be read).*kept until exit"_s));
        LearnedWords words(file.fileName());
        QVERIFY(words.learn(1, u"thumb"));
        QCOMPARE(words.top(1, u"th", 5), QStringList({ "thumb" }));
        QVERIFY(!QFile::exists(dir.filePath(u"gone.txt"_s)));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), "mine\n");
        QCOMPARE(QFileInfo(file.fileName()).isSymLink(), !link.isEmpty());
        if (link.isEmpty()) {
            QVERIFY(file.setPermissions(QFile::ReadOwner) && file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), "Kelo# learned words 2\n");
        }
    }

private:
    QStringList lines[4]; // the bundled lists as the scan reads them
};

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
