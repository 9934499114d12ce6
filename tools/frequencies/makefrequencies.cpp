// Builds the word counts of the four word lists from the unigram counts of Debian's onboard-data
// models, and checks every rule of their format on the bytes it writes and again on the bytes it
// reads back. Any breach stops it with status 1, naming the line and the rule.
//
// Format of a counts file: UTF-8 without byte-order mark, LF only, every line ending with LF;
// one line per counted entry, "word<TAB>count", in the list's own order (so no duplicates);
// every word an entry of the list; counts decimal, without leading zeros, 1 to 4294967295.
//
// Matching: an entry in lower case takes the sum of the counts of every model word whose lower
// case is that entry (so "The", "the" and "THE" all count for "the"); an entry with capitals
// takes the count of the same word only. Entries the model lacks get no line.
//
// Usage: makefrequencies [models-dir] [resources-dir]
//            (defaults: /usr/share/onboard/models resources)
//        makefrequencies --check [resources-dir]   (checks the committed files, builds nothing)

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Pair
{
    QString list; // the word list in resources/
    QString model; // the onboard-data model
    QString counts; // the file written beside the list
};

const Pair pairs[] = {
    { u"da.txt"_s, u"en_US.lm"_s, u"fa.txt"_s },
    { u"df.txt"_s, u"fr_FR.lm"_s, u"ff.txt"_s },
    { u"ds.txt"_s, u"es_ES.lm"_s, u"fs.txt"_s },
    { u"dg.txt"_s, u"de_DE.lm"_s, u"fg.txt"_s },
};

constexpr quint64 maxCount = std::numeric_limits<quint32>::max();

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

[[noreturn]] void fail(const QString &message)
{
    QTextStream err(stderr);
    err << "makefrequencies: " << message << Qt::endl;
    std::exit(1);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

QString decodeStrict(const QByteArray &bytes, const QString &path)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        fail(QStringLiteral("%1 is not valid UTF-8").arg(path));
    return text;
}

// The list's entries as the program reads them: mark dropped, CR dropped, split at LF, a last
// line without LF counted. The closing empty line of the English list is no word and is left out.
struct List
{
    QStringList entries;
    QHash<QString, qsizetype> position;
};

List readList(const QString &path)
{
    QString text = decodeStrict(readAll(path), path);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.remove(u'\r');
    List list;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty())
            continue;
        if (list.position.contains(lines.at(i)))
            fail(QStringLiteral("%1 line %2: duplicate entry \"%3\"")
                     .arg(path)
                     .arg(i + 1)
                     .arg(lines.at(i)));
        list.position.insert(lines.at(i), list.entries.size());
        list.entries.append(lines.at(i));
    }
    if (list.entries.isEmpty())
        fail(QStringLiteral("%1 has no entries").arg(path));
    return list;
}

// "digits" without sign or leading zero; 0 when the text is no such number or exceeds limit.
quint64 parseCount(QStringView digits, quint64 limit)
{
    if (digits.isEmpty() || digits.size() > 20 || digits.front() == u'0')
        return 0;
    quint64 value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
        const quint64 digit = c.unicode() - u'0';
        if (value > (limit - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return value;
}

// Unigram counts of an ARPA-like model: the "\1-grams:" section of "count word" lines, as many
// as the "ngram 1=" line of the "\data\" section announces.
QHash<QString, quint64> readModel(const QString &path)
{
    const QStringList lines = decodeStrict(readAll(path), path).split(u'\n');
    const auto where = [&](qsizetype i) {
        return QStringLiteral("%1 line %2").arg(path).arg(i + 1);
    };
    qsizetype announced = -1;
    qsizetype i = 0;
    for (; i < lines.size() && lines.at(i) != u"\\1-grams:"_s; ++i) {
        if (lines.at(i).startsWith(u"ngram 1="_s))
            announced = qsizetype(parseCount(QStringView(lines.at(i)).sliced(8), 100'000'000));
    }
    if (announced <= 0)
        fail(path + u": no \"ngram 1=\" line with a positive number before the 1-grams"_s);
    if (i == lines.size())
        fail(path + u": no \"\\1-grams:\" section"_s);
    QHash<QString, quint64> counts;
    for (++i; i < lines.size() && !lines.at(i).isEmpty() && !lines.at(i).startsWith(u'\\'); ++i) {
        const QStringList fields = lines.at(i).split(u' ');
        if (fields.size() != 2)
            fail(where(i) + u": not \"count word\""_s);
        const quint64 count = parseCount(fields.at(0), maxCount);
        if (count == 0)
            fail(where(i) + u": the count is not a whole number from 1 to 4294967295"_s);
        const QString &word = fields.at(1);
        if (word.isEmpty() || std::any_of(word.begin(), word.end(), [](QChar c) {
                return c.isSpace() || c.category() == QChar::Other_Control;
            }))
            fail(where(i) + u": the word is empty or holds white space or a control character"_s);
        if (word != word.normalized(QString::NormalizationForm_C))
            fail(where(i) + u": the word is not in Unicode normal form C"_s);
        if (counts.contains(word))
            fail(where(i) + u": the word \""_s + word + u"\" appears twice"_s);
        counts.insert(word, count);
    }
    if (counts.size() != announced)
        fail(QStringLiteral("%1: %2 1-grams read, %3 announced")
                 .arg(path)
                 .arg(counts.size())
                 .arg(announced));
    return counts;
}

QByteArray build(const List &list, const QHash<QString, quint64> &model, const QString &name)
{
    QHash<QString, quint64> folded;
    for (auto it = model.begin(); it != model.end(); ++it)
        folded[it.key().toLower()] += it.value();
    QByteArray bytes;
    for (const QString &entry : list.entries) {
        const quint64 count = entry == entry.toLower() ? folded.value(entry) : model.value(entry);
        if (count == 0)
            continue;
        if (count > maxCount)
            fail(QStringLiteral("%1: the count of \"%2\" exceeds %3")
                     .arg(name, entry)
                     .arg(maxCount));
        bytes += entry.toUtf8() + '\t' + QByteArray::number(count) + '\n';
    }
    return bytes;
}

struct Counted
{
    qsizetype position;
    quint64 count;
};

// Every rule of the format, on the bytes; returns the first breach found, naming its line.
QString check(const QByteArray &bytes, const List &list, std::vector<Counted> *countedOut)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return u"begins with a byte-order mark"_s;
    if (bytes.contains('\r'))
        return QStringLiteral("line %1: holds a CR")
            .arg(bytes.left(bytes.indexOf('\r')).count('\n') + 1);
    if (bytes.isEmpty() || !bytes.endsWith('\n'))
        return u"empty, or the last line does not end with LF"_s;
    const QList<QByteArray> rawLines = bytes.split('\n');
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = decoder.decode(rawLines.at(i));
        if (decoder.hasError())
            return QStringLiteral("line %1: not valid UTF-8").arg(i + 1);
    }
    const QString text = QString::fromUtf8(bytes);
    QStringList lines = text.split(u'\n');
    lines.removeLast(); // after the final LF
    std::vector<Counted> counted;
    qsizetype previous = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString where = QStringLiteral("line %1 \"%2\"").arg(i + 1).arg(lines.at(i));
        const QStringList fields = lines.at(i).split(u'\t');
        if (fields.size() != 2)
            return where + u": not one word, one TAB and one count"_s;
        const qsizetype position = list.position.value(fields.at(0), -1);
        if (position < 0)
            return where + u": the word is not an entry of the list"_s;
        if (position <= previous)
            return where + u": not after the line before in the list's order (or a duplicate)"_s;
        previous = position;
        const quint64 count = parseCount(fields.at(1), maxCount);
        if (count == 0)
            return where + u": the count is not a whole number from 1 to 4294967295 without "_s
                + u"leading zeros"_s;
        counted.push_back({ position, count });
    }
    if (countedOut)
        *countedOut = std::move(counted);
    return QString();
}

void report(const QString &name, const List &list, std::vector<Counted> counted)
{
    out() << name << ": " << counted.size() << " of " << list.entries.size() << " entries counted ("
          << QString::number(100.0 * double(counted.size()) / double(list.entries.size()), 'f', 1)
          << "%)";
    std::stable_sort(counted.begin(), counted.end(),
                     [](const Counted &a, const Counted &b) { return a.count > b.count; });
    out() << ", most frequent:";
    for (std::size_t i = 0; i < std::min<std::size_t>(8, counted.size()); ++i)
        out() << ' ' << list.entries.at(counted[i].position) << " (" << counted[i].count << ')';
    out() << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const bool checkOnly = !args.isEmpty() && args.first() == u"--check"_s;
    if (checkOnly)
        args.removeFirst();
    const QString modelDir = checkOnly ? QString() : args.value(0, u"/usr/share/onboard/models"_s);
    const QDir outDir(args.value(checkOnly ? 0 : 1, u"resources"_s));

    for (const Pair &pair : pairs) {
        const List list = readList(outDir.filePath(pair.list));
        const QString path = outDir.filePath(pair.counts);
        if (!checkOnly) {
            const QByteArray bytes
                = build(list, readModel(QDir(modelDir).filePath(pair.model)), pair.counts);
            const QString breach = check(bytes, list, nullptr);
            if (!breach.isEmpty())
                fail(pair.counts + u" (before writing): "_s + breach);
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
                || !file.commit())
                fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        }
        // What counts is what is on the disk.
        std::vector<Counted> counted;
        const QString breach = check(readAll(path), list, &counted);
        if (!breach.isEmpty())
            fail(path + u": "_s + breach);
        report(pair.counts, list, std::move(counted));
    }
    return 0;
}
