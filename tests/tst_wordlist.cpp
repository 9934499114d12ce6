#include "keym.h"
#include "recordingplatform.h"
#include "wordlist.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QStringList fiveEmpty(5, QString());

// Lines as the scan reads them: QIODevice::readLine in text mode, decoded from UTF-8, the line
// terminator dropped. The byte-order mark is not part of the first line.
QStringList readLines(QIODevice &device)
{
    QStringList lines;
    while (!device.atEnd()) {
        QString line = QString::fromUtf8(device.readLine());
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

// The scan the look-up replaces, step by step: a window of the last five lines read, oldest
// first; reading stops once the oldest does not sort before the prefix.
QStringList lineScan(const QStringList &lines, QStringView prefix)
{
    QStringList result = fiveEmpty;
    if (prefix.isEmpty())
        return result;
    for (const QString &line : lines) {
        result.removeFirst();
        result.append(line);
        if (QString::localeAwareCompare(result.first(), prefix) >= 0)
            break;
    }
    return result;
}

// The same scan reading the file itself on every call, one line at a time.
QStringList fileScan(const QString &path, QStringView prefix)
{
    QStringList result = fiveEmpty;
    if (prefix.isEmpty())
        return result;
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    bool firstLine = true;
    while (!file.atEnd()) {
        result.removeFirst();
        QString line = QString::fromUtf8(file.readLine());
        if (line.endsWith(u'\n'))
            line.chop(1);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (firstLine && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        firstLine = false;
        result.append(line);
        if (QString::localeAwareCompare(result.first(), prefix) >= 0)
            break;
    }
    return result;
}

QString show(QStringView s)
{
    QString shown;
    for (QChar c : s) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            shown += c;
        else
            shown += u"\\u%1"_s.arg(c.unicode(), 4, 16, QChar(u'0'));
    }
    return u'"' + shown + u'"';
}

QString show(const QStringList &list)
{
    QStringList shown;
    for (const QString &s : list)
        shown.append(show(s));
    return u'[' + shown.join(u", ") + u']';
}

const char *const paths[] = { ":/da.txt", ":/df.txt", ":/ds.txt", ":/dg.txt" };

} // namespace

// Word prediction against the line-by-line scan it replaces: on the four bundled lists under
// several locales with random prefixes, on small files with awkward contents, and through KeyM.
class TestWordList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keymBeforeAnyLanguage();
    void keymNamedCases();
    void endOfEachList();
    void forLanguage();
    void awkwardFiles_data();
    void awkwardFiles();
    void unreadableFile();
    void followsDefaultLocale();
    void accentedPrefixStopsAmongBaseLetters();
    void sameAsLineScan_data();
    void sameAsLineScan();
    void fileScanAgrees();
    void cleanupTestCase();

private:
    QString randomPrefix(const QStringList &lines);

    RecordingPlatform recording;
    QByteArray bytes[4]; // the bundled lists as stored
    QStringList lines[4]; // their lines as the scan reads them
    quint32 seed = 0;
    QRandomGenerator random;
    qsizetype prefixesChecked = 0;
    int rowsRun = 0;
    int rowsTotal = 0;
};

void TestWordList::initTestCase()
{
    for (int i = 0; i < 4; ++i) {
        QFile file(QString::fromLatin1(paths[i]));
        QVERIFY2(file.open(QIODevice::ReadOnly), paths[i]);
        bytes[i] = file.readAll();
        QVERIFY2(bytes[i].startsWith("\xEF\xBB\xBF"), paths[i]);
        QBuffer buffer(&bytes[i]);
        QVERIFY(buffer.open(QIODevice::ReadOnly | QIODevice::Text));
        lines[i] = readLines(buffer);
        QVERIFY2(lines[i].size() > 20000, paths[i]);
    }
    seed = qEnvironmentVariableIsSet("KELO_SEED") ? qEnvironmentVariableIntValue("KELO_SEED")
                                                  : 20261206u;
    random.seed(seed);
    qInfo("random prefixes from seed %u (set KELO_SEED to change it)", seed);
}

void TestWordList::keymBeforeAnyLanguage()
{
    // Must run before any langp: the selected list is process-wide.
    KeyM keym(&recording);
    QCOMPARE(keym.t9(u"th"), fiveEmpty);
    keym.langp(7);
    QCOMPARE(keym.t9(u"th"), fiveEmpty);
}

void TestWordList::keymNamedCases()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    KeyM keym(&recording);
    keym.langp(1);
    QCOMPARE(keym.t9(u""), fiveEmpty);
    QCOMPARE(keym.t9(QStringView()), fiveEmpty);
    QCOMPARE(keym.t9(u"th"),
             (QStringList { u"th"_s, u"tha"_s, u"thack"_s, u"thacker"_s, u"thackerayan"_s }));
    QCOMPARE(keym.t9(u"hel"),
             (QStringList { u"helbeh"_s, u"helcoid"_s, u"helcology"_s, u"helcoplasty"_s,
                            u"helcosis"_s }));
    // No word begins with qx: the five entries after where it would be (web2 has the letter r).
    QCOMPARE(keym.t9(u"qx"), (QStringList { u"r"_s, u"ra"_s, u"raad"_s, u"raash"_s, u"rab"_s }));
    // The first line carries the byte-order mark in the file, not in the answer.
    QCOMPARE(keym.t9(u"a"), lines[0].mid(0, 5));
    QCOMPARE(keym.t9(u"a").first(), u"a"_s);
    for (const QString &p : { u"th"_s, u"hel"_s, u"qx"_s, u"a"_s })
        QCOMPARE(keym.t9(p), lineScan(lines[0], p));

    // Numbers outside 1 to 4 keep the list; each of 1 to 4 switches to its own.
    keym.langp(2);
    const QStringList french = keym.t9(u"abaisse");
    QCOMPARE(french, lineScan(lines[1], u"abaisse"));
    QVERIFY(french != lineScan(lines[0], u"abaisse"));
    for (int other : { 7, 0, -1, 5, 8 }) {
        keym.langp(other);
        QCOMPARE(keym.t9(u"abaisse"), french);
    }
    keym.langp(3);
    QCOMPARE(keym.t9(u"abaisse"), lineScan(lines[2], u"abaisse"));
    keym.langp(4);
    QCOMPARE(keym.t9(u"abaisse"), lineScan(lines[3], u"abaisse"));
    QLocale::setDefault(QLocale::c());
}

void TestWordList::endOfEachList()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    KeyM keym(&recording);
    for (int language = 1; language <= 4; ++language) {
        const QByteArray &file = bytes[language - 1];
        // The last five lines straight from the bytes: CR LF separates lines, and a final CR LF
        // ends the last one rather than starting another.
        QList<QByteArray> raw = file.split('\n');
        if (file.endsWith('\n'))
            raw.removeLast();
        QStringList lastFive;
        for (qsizetype i = raw.size() - 5; i < raw.size(); ++i)
            lastFive.append(QString::fromUtf8(raw.at(i)).remove(u'\r'));
        keym.langp(language);
        for (const QString &p : { u"zzzzzz"_s, u"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"_s })
            QCOMPARE(keym.t9(p), lastFive);
    }
    // English closes with an empty line that is an entry; French's last line has no terminator.
    QVERIFY(bytes[0].endsWith("zyzzogeton\r\n\r\n"));
    keym.langp(1);
    QCOMPARE(keym.t9(u"zz"),
             (QStringList { u"zythia"_s, u"zythum"_s, u"zyzomys"_s, u"zyzzogeton"_s, QString() }));
    QVERIFY(!bytes[1].endsWith('\n'));
    keym.langp(2);
    QCOMPARE(keym.t9(u"zz").last(), lines[1].last());
    QVERIFY(!lines[1].last().isEmpty());
    QLocale::setDefault(QLocale::c());
}

void TestWordList::forLanguage()
{
    for (int bad : { -1, 0, 5, 8, 1000 })
        QCOMPARE(WordList::forLanguage(bad), nullptr);
    for (int language = 1; language <= 4; ++language) {
        const WordList *list = WordList::forLanguage(language);
        QVERIFY(list);
        QCOMPARE(WordList::forLanguage(language), list);
        QCOMPARE(list->size(), lines[language - 1].size());
        for (qsizetype i : { qsizetype(0), qsizetype(1), list->size() / 2, list->size() - 1 })
            QCOMPARE(list->entry(i), lines[language - 1].at(i));
    }
}

void TestWordList::awkwardFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("three lines") << QByteArray("\xEF\xBB\xBF"
                                               "b\r\nd\r\nf\r\n");
    QTest::newRow("four, last open") << QByteArray("b\r\nd\r\nf\r\nh");
    QTest::newRow("LF only, no mark") << QByteArray("a\nc\ne\ng\ni\nk\nm\no");
    QTest::newRow("empty lines") << QByteArray(
        "\xEF\xBB\xBF\r\na\r\n\r\nc\r\n\r\ne\r\nf\r\ng\r\n\r\n\r\n");
    QTest::newRow("broken UTF-8") << QByteArray("a\r\n\xC3\r\nb\xFF\xFE"
                                                "c\r\nd\r\n\xE2\x82\r\ne\r\nf\r\ng");
    QTest::newRow("not sorted") << QByteArray("m\r\nb\r\nz\r\na\r\ny\r\nc\r\nx\r\nb\r\nn\r\n");
    QTest::newRow("mark again") << QByteArray("\xEF\xBB\xBF"
                                              "a\r\n\xEF\xBB\xBF"
                                              "b\r\nc\r\nd\r\ne\r\nf\r\n");
    QTest::newRow("mark alone, then lines")
        << QByteArray("\xEF\xBB\xBF\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
    QTest::newRow("ties and case")
        << QByteArray("A\r\na\r\nä\r\nÄ\r\nb\r\nB\r\ne\r\né\r\nE\r\nè\r\nz\r\n");
    QTest::newRow("exactly five") << QByteArray("ant\r\nbee\r\ncat\r\ndog\r\neel\r\n");
}

void TestWordList::awkwardFiles()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"list.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    file.close();

    const QStringList prefixes
        = { u"a"_s, u"A"_s,  u"ä"_s, u"b"_s,      u"bb"_s,     u"c"_s, u"d"_s,
            u"e"_s, u"é"_s,  u"f"_s, u"g"_s,      u"m"_s,      u"n"_s, u"y"_s,
            u"z"_s, u"zz"_s, u"0"_s, u"\uFFFD"_s, u"\uFEFF"_s, u"-"_s };
    for (const char *name : { "en_US", "de_DE", "C" }) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        const WordList list(path);
        for (const QString &p : prefixes) {
            const QStringList expected = fileScan(path, p);
            const QStringList got = list.complete(p);
            if (got != expected)
                QFAIL(qPrintable(u"%1, prefix %2: %3, the scan gives %4"_s.arg(
                    QString::fromLatin1(name), show(p), show(got), show(expected))));
        }
        QCOMPARE(list.complete(u""), fiveEmpty);
    }
    QLocale::setDefault(QLocale::c());
}

void TestWordList::unreadableFile()
{
    QTemporaryDir dir;
    for (const QString &path :
         { u":/no-such-list.txt"_s, dir.filePath(u"missing.txt"_s), dir.path() }) {
        const WordList list(path);
        QCOMPARE(list.size(), 0);
        QCOMPARE(list.complete(u"a"), fiveEmpty);
        QCOMPARE(list.complete(u"zz"), fiveEmpty);
    }
}

void TestWordList::followsDefaultLocale()
{
    // ñ is a letter of its own after n in Spanish and an accented n in English, so "ña" lands in
    // different places on the Spanish list; the same list object must follow each change.
    const WordList *spanish = WordList::forLanguage(3);
    QStringList answers;
    for (const char *name : { "en_US", "es_ES", "en_US", "es_ES" }) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        const QStringList got = spanish->complete(u"ña");
        QCOMPARE(got, lineScan(lines[2], u"ña"));
        answers.append(got.first());
    }
    QVERIFY2(answers.at(0) != answers.at(1), qPrintable(show(answers)));
    QCOMPARE(answers.at(2), answers.at(0));
    QCOMPARE(answers.at(3), answers.at(1));

    // A different locale before every look-up, among collations that disagree: Swedish puts ä
    // and ö after z, the C locale compares code points.
    const char *const names[] = { "C", "en_US", "es_ES", "de_DE", "fr_FR", "sv_SE" };
    for (int language : { 3, 4 }) {
        const WordList *list = WordList::forLanguage(language);
        for (int i = 0; i < (language == 3 ? 300 : 1200); ++i) {
            const char *name = names[random.bounded(6)];
            QLocale::setDefault(QLocale(QString::fromLatin1(name)));
            const QString prefix = randomPrefix(lines[language - 1]);
            const QStringList expected = lineScan(lines[language - 1], prefix);
            const QStringList got = list->complete(prefix);
            if (got != expected)
                QFAIL(qPrintable(u"%1, prefix %2: %3, the scan gives %4"_s.arg(
                    QString::fromLatin1(name), show(prefix), show(got), show(expected))));
        }
    }
    QLocale::setDefault(QLocale::c());
}

void TestWordList::accentedPrefixStopsAmongBaseLetters()
{
    // German: the ü words sit after z in the file, but the collation puts "über" among the u
    // words, so the scan stops there.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QStringList &german = lines[3];
    const auto umlaut = std::find_if(german.begin(), german.end(),
                                     [](const QString &w) { return w.startsWith(u'ü'); });
    const qsizetype firstUmlaut = umlaut - german.begin();
    QVERIFY(firstUmlaut > 0);
    const QStringList got = WordList::forLanguage(4)->complete(u"über");
    QCOMPARE(got, lineScan(german, u"über"));
    QVERIFY2(got.first().startsWith(u'u'), qPrintable(show(got)));
    QVERIFY(german.indexOf(got.first()) < firstUmlaut);
    QLocale::setDefault(QLocale::c());
}

QString TestWordList::randomPrefix(const QStringList &list)
{
    static const QString letters = u"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"_s;
    static const QString accented = u"àâäçèéêëîïôöùûüáíñóúß"_s;
    static const QString capitals = u"ABCDEFGHIJKLMNOPQRSTUVWXYZÀÉÈÇÖÜÑ"_s;
    static const QString others = u"0123456789 -'./"_s;
    const auto pick = [&](const QString &from) {
        return from.at(random.bounded(from.size()));
    };
    const auto anyChar = [&]() {
        const int kind = random.bounded(10);
        return kind < 5 ? pick(letters)
            : kind < 7  ? pick(accented)
            : kind < 9  ? pick(capitals)
                        : pick(others);
    };
    const QString entry = list.at(random.bounded(list.size()));
    switch (random.bounded(10)) {
    case 0:
    case 1:
    case 2: // the start of an entry
        return entry.isEmpty() ? u"a"_s : entry.left(1 + random.bounded(entry.size()));
    case 3:
    case 4: { // the start of an entry with one character changed
        QString p = entry.isEmpty() ? u"a"_s : entry.left(1 + random.bounded(entry.size()));
        p[random.bounded(p.size())] = anyChar();
        return p;
    }
    case 5: { // an entry in capitals, whole or in part
        QString p = entry.isEmpty() ? u"A"_s : entry.left(1 + random.bounded(entry.size()));
        return random.bounded(2) ? p.toUpper() : p.left(1).toUpper() + p.mid(1);
    }
    case 6: // a whole entry and one more character
        return entry + anyChar();
    case 7:
    case 8: { // one to four random characters
        QString p;
        for (int n = 1 + random.bounded(4); n > 0; --n)
            p += anyChar();
        return p;
    }
    default: { // past the end, or close to it
        QString p = QString(2 + random.bounded(30), u'z');
        if (random.bounded(2))
            p[random.bounded(p.size())] = anyChar();
        return random.bounded(4) ? p : QString(pick(accented)) + p;
    }
    }
}

void TestWordList::sameAsLineScan_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("localeName");
    QTest::addColumn<int>("count");
    // The scan is slow on the long lists, so the short ones get more of the prefixes.
    const int counts[] = { 500, 450, 1500, 3300 };
    rowsTotal = 0;
    for (const char *name : { "en_US", "fr_FR", "de_DE", "es_ES" }) {
        for (int language = 1; language <= 4; ++language) {
            QTest::addRow("%s %s", paths[language - 1] + 2, name)
                << language << QString::fromLatin1(name) << counts[language - 1];
            ++rowsTotal;
        }
    }
}

void TestWordList::sameAsLineScan()
{
    QFETCH(int, language);
    QFETCH(QString, localeName);
    QFETCH(int, count);
    QLocale::setDefault(QLocale(localeName));
    const WordList *list = WordList::forLanguage(language);
    const QStringList &all = lines[language - 1];
    for (int i = 0; i < count; ++i) {
        const QString prefix = randomPrefix(all);
        const QStringList expected = lineScan(all, prefix);
        const QStringList got = list->complete(prefix);
        if (got != expected)
            QFAIL(qPrintable(u"seed %1, prefix %2: %3, the scan gives %4"_s.arg(seed).arg(
                show(prefix), show(got), show(expected))));
        ++prefixesChecked;
    }
    ++rowsRun;
    QLocale::setDefault(QLocale::c());
}

void TestWordList::fileScanAgrees()
{
    // The scan above works on lines read once; here it reads the bundled file on every call.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    for (int language = 1; language <= 4; ++language) {
        const QString path = QString::fromLatin1(paths[language - 1]);
        const WordList *list = WordList::forLanguage(language);
        for (int i = 0; i < 8; ++i) {
            const QString prefix = randomPrefix(lines[language - 1]);
            QCOMPARE(list->complete(prefix), fileScan(path, prefix));
        }
    }
    QLocale::setDefault(QLocale::c());
}

void TestWordList::cleanupTestCase()
{
    if (rowsRun == rowsTotal && rowsTotal > 0) {
        qInfo("%lld random prefixes matched the line-by-line scan", qlonglong(prefixesChecked));
        QVERIFY(prefixesChecked >= 20000);
    }
}

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
