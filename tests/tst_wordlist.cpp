#include "keym.h"
#include "recordingplatform.h"
#include "wordlist.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QStringList fiveEmpty(5, QString());
const char *const names[] = { "da.txt", "df.txt", "ds.txt", "dg.txt" };

// Lines as the scan reads them: the file in text mode, line by line, decoded from UTF-8, the
// terminator dropped; the byte-order mark is not part of the first line. None if unreadable.
QStringList readLines(const QString &path)
{
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        if (line.endsWith(u'\n'))
            line.chop(1);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (lines.isEmpty() && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        lines.append(line);
    }
    return lines;
}

// The scan the look-up replaces: the last five lines read, oldest first; reading stops once the
// oldest no longer sorts before the prefix.
QStringList lineScan(const QStringList &lines, QStringView prefix)
{
    QStringList five = fiveEmpty;
    if (prefix.isEmpty())
        return five;
    for (const QString &line : lines) {
        five.removeFirst();
        five.append(line);
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
    void initTestCase();
    void keymNamedCases();
    void followsDefaultLocale();
    void awkwardFiles_data();
    void awkwardFiles();
    void sameAsLineScan();

private:
    QString randomPrefix(const QStringList &entries);

    QStringList lines[4]; // the bundled lists as the scan reads them
    QRandomGenerator random;
};

void TestWordList::initTestCase()
{
    for (int i = 0; i < 4; ++i) {
        lines[i] = readLines(u":/"_s + QString::fromLatin1(names[i]));
        QVERIFY2(lines[i].size() > 20000, names[i]);
    }
    const quint32 seed = qEnvironmentVariableIsSet("KELO_SEED")
        ? quint32(qEnvironmentVariableIntValue("KELO_SEED"))
        : 20261206u;
    random.seed(seed);
    qInfo("random prefixes from seed %u (set KELO_SEED to change it)", seed);
}

void TestWordList::keymNamedCases()
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
    // The first line carries the byte-order mark in the file, not in the answer.
    QCOMPARE(keym.t9(u"a"), (QStringList { u"a"_s, u"aa"_s, u"aal"_s, u"aalii"_s, u"aam"_s }));
    // No word begins with qx: the five from where it would be.
    QCOMPARE(keym.t9(u"qx"), (QStringList { u"r"_s, u"ra"_s, u"raad"_s, u"raash"_s, u"rab"_s }));

    // Past the end, each list gives its last five lines: English's last is the closing empty
    // entry, French's has no terminator.
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

void TestWordList::followsDefaultLocale()
{
    // Swedish sorts ä after z, so on the German list "ä" stops among the ä words at the end,
    // where in English it stops among the a words; the same list must follow each change.
    const WordList *german = WordList::forLanguage(4);
    QStringList firsts;
    for (const QString &name : { u"en_US"_s, u"sv_SE"_s, u"en_US"_s, u"sv_SE"_s }) {
        QLocale::setDefault(QLocale(name));
        const QStringList got = german->complete(u"ä");
        QCOMPARE(got, lineScan(lines[3], u"ä"));
        firsts.append(got.first());
    }
    QVERIFY2(firsts.at(0) != firsts.at(1), qPrintable(firsts.join(u' ')));
}

void TestWordList::awkwardFiles_data()
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

void TestWordList::awkwardFiles()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    QLocale::setDefault(QLocale(u"en_US"_s));
    const WordList list(path);
    for (const QString &p : { u""_s, u"a"_s, u"b"_s, u"c"_s, u"e"_s, u"m"_s, u"zz"_s, u"\uFFFD"_s })
        QCOMPARE(list.complete(p), lineScan(readLines(path), p));
}

QString TestWordList::randomPrefix(const QStringList &entries)
{
    static const QString kinds[] = { u"abcdefghijklmnopqrstuvwxyz"_s, u"àâäçèéêëîïôöùûüáíñóúß"_s,
                                     u"ABCDEFGHIJKLMNOPQRSTUVWXYZÀÉÇÖÜÑ"_s, u"0123456789 -'./"_s };
    const auto anyChar = [&] {
        const QString &from = kinds[std::max(random.bounded(6) - 2, 0)]; // half of them letters
        return from.at(random.bounded(from.size()));
    };
    const QString entry = entries.at(random.bounded(entries.size())) + u'a';
    QString p = entry.left(1 + random.bounded(entry.size()));
    switch (random.bounded(7)) {
    case 0: // the start of an entry with one character changed
        p[random.bounded(p.size())] = anyChar();
        return p;
    case 1: // in capitals
        return p.toUpper();
    case 2: // a whole entry and one more character
        return entry.chopped(1) + anyChar();
    case 3: // one to four random characters
        p = QString(1 + random.bounded(4), QChar());
        std::generate(p.begin(), p.end(), anyChar);
        return p;
    case 4: // past the end, or close to it
        p = QString(2 + random.bounded(20), u'z');
        if (random.bounded(2))
            p[random.bounded(p.size())] = anyChar();
        return p;
    default: // the start of an entry
        return p;
    }
}

void TestWordList::sameAsLineScan()
{
    // The scan is slow on the long lists, so the short ones get more of the prefixes.
    const int counts[] = { 500, 450, 1500, 4300 };
    int checked = 0;
    for (const QString &name : { u"en_US"_s, u"fr_FR"_s, u"de_DE"_s }) {
        QLocale::setDefault(QLocale(name));
        for (int i = 0; i < 4; ++i) {
            const WordList *list = WordList::forLanguage(i + 1);
            for (int n = 0; n < counts[i]; ++n, ++checked) {
                const QString prefix = randomPrefix(lines[i]);
                const QStringList got = list->complete(prefix);
                const QStringList expected = lineScan(lines[i], prefix);
                if (got != expected) {
                    qWarning() << name << names[i] << "prefix" << prefix;
                    QCOMPARE(got, expected);
                }
            }
        }
    }
    qInfo("%d random prefixes matched the line-by-line scan", checked);
}

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
