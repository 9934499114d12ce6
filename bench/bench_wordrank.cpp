// Ranked word prediction on the four bundled lists: the one-time build of the ranking and its
// memory, then look-up times for order 1 (by frequency) and order 2 (the user's words, then by
// frequency) with a full learned-words file of 5,000 words, once spread over the list and once
// all with the list's most common first letter. Also reading that file and saving it after one
// more word. Learned-words files are written to a temporary folder, never the user's.
//
// Usage: bench_wordrank [repeats]   (each look-up is timed as the median of that many calls)

#include "learnedwords.h"
#include "lookuptiming.h"
#include "wordlist.h"
#include "wordrank.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QTextStream out(stdout);

// Milliseconds: the first run and the median of five.
std::pair<double, double> millis(const std::function<void()> &work)
{
    std::vector<double> runs;
    for (int r = 0; r < 5; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return { runs.front(), medianOf(runs) };
}

QString us(double v)
{
    return QString::number(v, 'f', 2) + u" µs"_s;
}

QString ms(std::pair<double, double> v)
{
    return QStringLiteral("first %1 ms, median %2 ms")
        .arg(QString::number(v.first, 'f', 1), QString::number(v.second, 'f', 1));
}

void row(const QString &what, const Stats &s)
{
    out << "  " << what.leftJustified(46) << " median " << us(s.median).rightJustified(9)
        << ", worst " << us(s.worst).rightJustified(9) << " (\"" << s.worstPrefix << "\")"
        << Qt::endl;
}

// A learned-words file of the given entries, counts 1 to 40 from a fixed sequence.
void writeLearned(const QString &path, const char *code, const QStringList &entries)
{
    QByteArray bytes = "Kelo# learned words 1\n";
    quint32 seed = 12345;
    for (const QString &e : entries) {
        seed = seed * 1103515245u + 12345u;
        bytes
            += code + ('\t' + QByteArray::number(1 + (seed >> 16) % 40)) + '\t' + e.toUtf8() + '\n';
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    QTemporaryDir dir;
    struct List
    {
        const char *path, *counts, *code;
        int language;
    };
    const List lists[] = { { ":/da.txt", ":/fa.txt", "en", 1 },
                           { ":/df.txt", ":/ff.txt", "fr", 2 },
                           { ":/ds.txt", ":/fs.txt", "es", 3 },
                           { ":/dg.txt", ":/fg.txt", "de", 4 } };
    out << "Ranked look-up; each time is the median of " << repeats << " calls." << Qt::endl;
    double worst = 0;
    double worstLoad = 0;
    for (const List &l : lists) {
        const WordList words(QString::fromLatin1(l.path));
        const QString counts = QString::fromLatin1(l.counts);
        const auto load = millis([&] { const WordRank built(words, counts); });
        const WordRank rank(words, counts);
        worstLoad = std::max(worstLoad, load.second);
        out << l.path << " (" << words.size() << " entries, " << rank.countedEntries()
            << " counted): ranking built " << ms(load) << ", "
            << QString::number(double(rank.memoryBytes()) / 1e6, 'f', 2) << " MB" << Qt::endl;

        // Every one- and two-letter prefix over the list's letters, the first three letters of
        // every entry, and every 50th entry whole.
        QSet<QChar> letterSet;
        QSet<QString> prefixSet;
        QHash<QChar, QStringList> byInitial;
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QStringView e = words.entry(i);
            for (QChar c : e) {
                if (c.isLetter())
                    letterSet.insert(c);
            }
            prefixSet.insert(e.first(std::min<qsizetype>(3, e.size())).toString());
            if (i % 50 == 0)
                prefixSet.insert(e.toString());
            if (!e.isEmpty())
                byInitial[WordRank::fold(e.first(1)).front()].append(e.toString());
        }
        for (QChar a : letterSet) {
            prefixSet.insert(QString(a));
            for (QChar b : letterSet)
                prefixSet.insert(QString(a) + b);
        }
        prefixSet.remove(QString());
        QStringList prefixes(prefixSet.begin(), prefixSet.end());
        prefixes.sort();

        const Stats one = measure(prefixes, 10 * repeats, repeats,
                                  [&](const QString &p) { return rank.complete(p); });
        row(QStringLiteral("order 1, %1 prefixes").arg(prefixes.size()), one);

        // 5,000 learned words spread over the list, then 5,000 sharing the commonest initial.
        QStringList spread;
        for (qsizetype i = 0; i < LearnedWords::maxWords; ++i)
            spread.append(words.entry(i * (words.size() - 1) / LearnedWords::maxWords).toString());
        QChar common = u'a';
        for (auto it = byInitial.begin(); it != byInitial.end(); ++it) {
            if (it.value().size() > byInitial.value(common).size())
                common = it.key();
        }
        const QStringList same = byInitial.value(common).mid(0, LearnedWords::maxWords);
        for (const auto &[name, entries] : { std::pair(u"spread over the list"_s, spread),
                                             std::pair(u"all beginning with "_s + common, same) }) {
            const QString path
                = dir.filePath(u"%1-%2.txt"_s.arg(QString::fromLatin1(l.code)).arg(entries.size()));
            writeLearned(path, l.code, entries);
            const auto read = millis([&] { const LearnedWords file(path); });
            LearnedWords learned(path);
            const Stats two = measure(prefixes, 10 * repeats, repeats, [&](const QString &p) {
                return rank.complete(p, learned.top(l.language, p, 5));
            });
            row(QStringLiteral("order 2, %1 learned words %2").arg(learned.size()).arg(name), two);
            worst = std::max({ worst, one.worst, two.worst });
            int n = 0;
            const auto save = millis([&] { learned.learn(l.language, u"zzkelo%1"_s.arg(++n)); });
            out << "  learned-words file (" << QFile(path).size() / 1024 << " KiB): read "
                << ms(read) << "; one word learned and saved " << ms(save) << Qt::endl;
        }
        for (const QString &p : { u"th"_s, u"de"_s, u"co"_s, u"ub"_s })
            out << "  \"" << p << "\" by frequency: " << rank.complete(p).join(u", "_s) << Qt::endl;
    }
    out << "Worst look-up of all, orders 1 and 2: " << us(worst) << " (goal: under 50 µs)."
        << Qt::endl;
    out << "Slowest ranking build (median): " << QString::number(worstLoad, 'f', 1)
        << " ms (goal: under 100 ms)." << Qt::endl;
    return 0;
}
