// Word prediction: the indexed look-up against the line-by-line scan it replaces, on the four
// lists of the bundle. Prints, per list, the one-time load, then median and worst times over all
// two-letter prefixes and over prefixes past the last entry.
//
// Usage: bench_wordlist [repeats]   (each look-up is timed as the median of that many calls)

#include "lookuptiming.h"
#include "wordlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QSet>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QTextStream out(stdout);

// The scan the look-up replaces: reopen the list, read a line at a time, keep the last five read,
// stop once the oldest of them does not sort before the prefix.
QStringList lineByLine(const QString &path, QStringView prefix)
{
    QStringList result(5, QString());
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

QString fmt(double us)
{
    return us >= 1000 ? QString::number(us / 1000, 'f', 2) + u" ms"_s
                      : QString::number(us, 'f', 2) + u" µs"_s;
}

void row(const QString &what, const Stats &fast, const Stats &ref)
{
    out << "  " << what.leftJustified(24) << " look-up median "
        << fmt(fast.median).rightJustified(10) << ", worst " << fmt(fast.worst).rightJustified(10)
        << " (\"" << fast.worstPrefix << "\")" << Qt::endl;
    out << "  " << QString().leftJustified(24) << " line scan median "
        << fmt(ref.median).rightJustified(8) << ", worst " << fmt(ref.worst).rightJustified(10)
        << " (\"" << ref.worstPrefix << "\")" << Qt::endl;
    out << "  " << QString().leftJustified(24) << " ratio: median "
        << qRound64(ref.median / fast.median) << "x, worst " << qRound64(ref.worst / fast.worst)
        << "x" << Qt::endl;
}

struct List
{
    QString path;
    QLocale locale;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    const List lists[] = {
        { u":/da.txt"_s, QLocale(QLocale::English, QLocale::UnitedStates) },
        { u":/df.txt"_s, QLocale(QLocale::French, QLocale::France) },
        { u":/ds.txt"_s, QLocale(QLocale::Spanish, QLocale::Spain) },
        { u":/dg.txt"_s, QLocale(QLocale::German, QLocale::Germany) },
    };
    out << "Word-list look-up against the line-by-line scan; each time is the median of " << repeats
        << " calls." << Qt::endl;

    double worstLookup = 0;
    qsizetype largest = 0;
    double largestLoad = 0;
    double largestRatio = 0;
    QString largestPath;
    for (const List &list : lists) {
        QLocale::setDefault(list.locale);

        // The one-time load: read, decode, and order the lines for the current locale.
        std::vector<double> loads;
        for (int r = 0; r < 5; ++r) {
            QElapsedTimer timer;
            timer.start();
            WordList loaded(list.path);
            loaded.prepare();
            loads.push_back(timer.nsecsElapsed() / 1e6);
        }
        const WordList words(list.path);
        words.prepare();
        out << list.path << " (" << words.size() << " lines, locale " << list.locale.name()
            << "): load first " << QString::number(loads.front(), 'f', 1) << " ms, median of 5 "
            << QString::number(medianOf(loads), 'f', 1) << " ms" << Qt::endl;

        // Every two-letter prefix over the letters the list uses.
        QSet<QChar> letterSet;
        for (qsizetype i = 0; i < words.size(); ++i) {
            for (QChar c : words.entry(i)) {
                if (c.isLetter())
                    letterSet.insert(c);
            }
        }
        QList<QChar> letters(letterSet.begin(), letterSet.end());
        std::sort(letters.begin(), letters.end());
        QStringList twoLetters;
        for (QChar a : letters) {
            for (QChar b : letters)
                twoLetters.append(QString(a) + b);
        }

        // Prefixes that sort after every entry, so the scan reads the whole list.
        QStringList lastFive;
        for (qsizetype i = words.size() - 5; i < words.size(); ++i)
            lastFive.append(words.entry(i).toString());
        QStringList pastEnd;
        for (const QString &p :
             { u"zzzzzz"_s, u"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"_s, u"zzz"_s, u"zzzz"_s, u"zyzzz"_s,
               u"zzzzzzzzzz"_s, u"zzzzzzzzz"_s, u"zzzzzzzz"_s, u"zzzzzzz"_s, u"zz"_s }) {
            bool afterAll = true;
            for (qsizetype i = 0; i < words.size() && afterAll; ++i)
                afterAll = QString::localeAwareCompare(words.entry(i), p) < 0;
            if (afterAll && words.complete(p) == lastFive)
                pastEnd.append(p);
        }

        const auto fast = [&](const QString &p) {
            return words.complete(p);
        };
        const auto scan = [&](const QString &p) {
            return lineByLine(list.path, p);
        };
        const Stats fastTwo = measure(twoLetters, repeats, repeats, fast);
        // The scan takes tens of milliseconds a call: one pass, then the slowest again.
        const Stats refTwo = measure(twoLetters, repeats, 1, scan);
        row(QStringLiteral("%1 two-letter prefixes").arg(twoLetters.size()), fastTwo, refTwo);
        const Stats fastEnd = measure(pastEnd, repeats, repeats, fast);
        const Stats refEnd = measure(pastEnd, repeats, repeats, scan);
        row(QStringLiteral("%1 prefixes past the end").arg(pastEnd.size()), fastEnd, refEnd);

        const double fastWorst = std::max(fastTwo.worst, fastEnd.worst);
        worstLookup = std::max(worstLookup, fastWorst);
        if (words.size() > largest) {
            largest = words.size();
            largestLoad = medianOf(loads);
            largestRatio = std::max(refTwo.worst, refEnd.worst) / fastWorst;
            largestPath = list.path;
        }
    }
    out << "Worst look-up of all: " << fmt(worstLookup) << " (goal: under 50 µs)." << Qt::endl;
    out << "Largest list, " << largestPath << ": load " << QString::number(largestLoad, 'f', 1)
        << " ms (goal: under 150 ms); worst scan / worst look-up " << qRound64(largestRatio)
        << "x (goal: at least 1000x)." << Qt::endl;
    return 0;
}
