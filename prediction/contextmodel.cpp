#include "contextmodel.h"

#include "contextmodelformat.h"
#include "wordrank.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

using namespace Qt::StringLiterals;

struct ContextModel::Header : ContextModelHeader
{
};

QStringList ContextModel::folders()
{
    // Beside the executable; the build tree's tests and benchmarks sit one folder down.
    const QString dir = QCoreApplication::applicationDirPath();
    return { dir, QDir(dir).absoluteFilePath(u".."_s) };
}

const ContextModel *ContextModel::forLanguage(int language)
{
    static const char *const names[] = { "ctx_en.bin", "ctx_fr.bin", "ctx_es.bin", "ctx_de.bin" };
    static std::array<std::unique_ptr<ContextModel>, 4> models;
    static std::array<bool, 4> tried {};
    static QMutex mutex;
    if (language < 1 || language > 4)
        return nullptr;
    QMutexLocker locker(&mutex);
    std::unique_ptr<ContextModel> &model = models[language - 1];
    if (!tried[language - 1]) {
        tried[language - 1] = true;
        QString problem = u"not found in %1"_s.arg(folders().join(u", "_s));
        for (const QString &dir : folders()) {
            const QString path = QDir(dir).filePath(QString::fromLatin1(names[language - 1]));
            if (!QFile::exists(path))
                continue;
            model = std::make_unique<ContextModel>(path);
            if (model->isValid())
                break;
            problem = model->error();
            model.reset();
        }
        if (!model)
            qWarning().noquote() << "Kelo#: no context model for" << names[language - 1] << "("
                                 << problem << "); predictions go by frequency.";
    }
    return model.get();
}

ContextModel::ContextModel(const QString &path, const QByteArray &data)
{
    if (path.isEmpty()) {
        owned = data;
        valid = open(reinterpret_cast<const uchar *>(owned.constData()), owned.size());
        return;
    }
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        problem = path + u": "_s + source.errorString();
        return;
    }
    file = privateCopy(source);
    if (!file) {
        // No room for a copy: kept in memory instead.
        source.seek(0);
        owned = source.readAll();
        valid = open(reinterpret_cast<const uchar *>(owned.constData()), owned.size());
        if (!valid)
            problem = path + u": "_s + problem;
        return;
    }
    // Mapped read-only: the pages stay the file's, shared and dropped under memory pressure.
    const uchar *mapped = file->map(0, file->size());
    if (!mapped) {
        problem = path + u": cannot be mapped"_s;
        return;
    }
    valid = open(mapped, file->size());
    if (!valid)
        problem = path + u": "_s + problem;
#ifdef Q_OS_LINUX
    // The check read most of the file, a look-up reads a few pages: the rest leave the
    // program's memory again. They stay in the page cache and are read back when touched.
    if (valid)
        madvise(const_cast<uchar *>(mapped), size_t(file->size()), MADV_DONTNEED);
#endif
}

ContextModel::~ContextModel() = default;

std::unique_ptr<QFile> ContextModel::privateCopy(QFile &source)
{
#ifdef Q_OS_WIN
    // Windows lets no one cut short or replace a file while it is mapped.
    auto same = std::make_unique<QFile>(source.fileName());
    return same->open(QIODevice::ReadOnly) ? std::move(same) : nullptr;
#else
    // A mapped file cut short or rewritten under the program would end it at the next look-up
    // (SIGBUS), or feed it what the check never saw: the mapping is of a copy whose name is
    // removed at once, which no one else can reach.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    auto copy = std::make_unique<QTemporaryFile>(folder + u"/model-XXXXXX"_s);
    copy->setAutoRemove(false);
    if (!QDir().mkpath(folder) || !copy->open())
        return nullptr;
    QFile::remove(copy->fileName());
    const qint64 size = source.size();
    for (qint64 done = 0; done < size;) {
        const QByteArray chunk = source.read(std::min<qint64>(size - done, 1 << 20));
        if (chunk.isEmpty() || copy->write(chunk) != chunk.size())
            return nullptr;
        done += chunk.size();
    }
    if (!copy->flush())
        return nullptr;
    return copy;
#endif
}

bool ContextModel::open(const uchar *data, qint64 size)
{
    bytes = size;
    Header h;
    if (size < qint64(sizeof h) || quintptr(data) % 8 != 0) {
        problem = u"too short"_s;
        return false;
    }
    std::memcpy(&h, data, sizeof h);
    if (std::memcmp(h.magic, ContextModelHeader().magic, 8) != 0 || h.version != 1) {
        problem = u"not a context model of version 1"_s;
        return false;
    }
    // Every section's size from the head, checked against the file before anything is read.
    const qint64 n = h.words, t = h.trigramHistories;
    qint64 at = sizeof h;
    const auto section = [&](qint64 count, qint64 width) {
        const qint64 start = at;
        at += count * width;
        return data + start;
    };
    const qint64 limit = qint64(1) << 30;
    if (n < 1 || n > limit || h.bigrams > limit || t > limit || h.trigrams > limit) {
        problem = u"sizes out of range"_s;
        return false;
    }
    cumulative = reinterpret_cast<const double *>(section(n + 1, 8));
    textAt = reinterpret_cast<const quint32 *>(section(n + 1, 4));
    foldAt = reinterpret_cast<const quint32 *>(section(n + 1, 4));
    unigram = reinterpret_cast<const float *>(section(n, 4));
    alpha2 = reinterpret_cast<const float *>(section(n, 4));
    bigramStart = reinterpret_cast<const quint32 *>(section(n + 1, 4));
    bigramWord = reinterpret_cast<const quint32 *>(section(h.bigrams, 4));
    bigramP = reinterpret_cast<const float *>(section(h.bigrams, 4));
    historyPairs = reinterpret_cast<const quint32 *>(section(2 * t, 4));
    alpha3 = reinterpret_cast<const float *>(section(t, 4));
    trigramStart = reinterpret_cast<const quint32 *>(section(t + 1, 4));
    trigramWord = reinterpret_cast<const quint32 *>(section(h.trigrams, 4));
    trigramP = reinterpret_cast<const float *>(section(h.trigrams, 4));
    at += (8 - at % 8) % 8;
    text = reinterpret_cast<const char *>(section(h.textBytes, 1));
    at += (8 - at % 8) % 8;
    folded = reinterpret_cast<const char *>(section(h.foldBytes, 1));
    at += (8 - at % 8) % 8;
    if (at != size) {
        problem = u"%1 bytes where its head says %2"_s.arg(size).arg(at);
        return false;
    }
    // Offsets that only grow and end where their section ends; ids within range.
    const auto rising = [](const quint32 *v, qint64 count, quint64 end) {
        for (qint64 i = 0; i < count; ++i) {
            if (v[i] > v[i + 1])
                return false;
        }
        return v[0] == 0 && v[count] == end;
    };
    const auto below = [](const quint32 *v, qint64 count, quint64 end) {
        return std::all_of(v, v + count, [&](quint32 x) { return x < end; });
    };
    if (!rising(textAt, n, h.textBytes) || !rising(foldAt, n, h.foldBytes)
        || !rising(bigramStart, n, h.bigrams) || !rising(trigramStart, t, h.trigrams)
        || !below(bigramWord, h.bigrams, n) || !below(trigramWord, h.trigrams, n)
        || !below(historyPairs, 2 * t, n)) {
        problem = u"offsets or word numbers out of range"_s;
        return false;
    }
    for (qint64 i = 1; i < n; ++i) {
        if (fold(quint32(i - 1)) > fold(quint32(i))) {
            problem = u"words not in folded order"_s;
            return false;
        }
    }
    words = quint32(n);
    bigramCount = h.bigrams;
    trigramHistories = quint32(t);
    trigramCount = h.trigrams;
    // Non-negative floats order as their bits do.
    std::vector<quint64> keys(n);
    for (qint64 i = 0; i < n; ++i) {
        quint32 bits;
        std::memcpy(&bits, &unigram[i], 4);
        keys[i] = quint64(unigram[i] > 0 ? bits : 0) << 32 | quint32(~quint32(i));
    }
    byUnigram = TopTree(keys);
    for (const qsizetype i : byUnigram.top(0, n, 128))
        likeliest.push_back(quint32(i));
    return true;
}

QByteArrayView ContextModel::fold(quint32 i) const
{
    return QByteArrayView(folded + foldAt[i], foldAt[i + 1] - foldAt[i]);
}

QString ContextModel::word(quint32 i) const
{
    return i < words ? QString::fromUtf8(text + textAt[i], textAt[i + 1] - textAt[i]) : QString();
}

std::pair<quint32, quint32> ContextModel::range(QByteArrayView prefix) const
{
    quint32 lo = 0, hi = words;
    while (lo < hi) {
        const quint32 mid = lo + (hi - lo) / 2;
        if (fold(mid) < prefix)
            lo = mid + 1;
        else
            hi = mid;
    }
    quint32 end = lo;
    hi = words;
    while (end < hi) {
        const quint32 mid = end + (hi - end) / 2;
        if (fold(mid).startsWith(prefix))
            end = mid + 1;
        else
            hi = mid;
    }
    return { lo, end };
}

quint32 ContextModel::id(QStringView w) const
{
    if (!valid || w.isEmpty())
        return none;
    const QString lower = w.toString().toLower();
    const QByteArray key = lower == u"<s>"_s ? lower.toUtf8() : WordRank::fold(lower).toUtf8();
    const QByteArray wanted = lower.toUtf8();
    const auto [from, to] = range(key);
    for (quint32 i = from; i < to && fold(i) == key; ++i) {
        if (QByteArrayView(text + textAt[i], textAt[i + 1] - textAt[i]) == wanted)
            return i;
    }
    return none;
}

float ContextModel::Successors::find(quint32 w) const
{
    const quint32 *at = std::lower_bound(words, words + n, w);
    return at != words + n && *at == w ? p[at - words] : -1.0f;
}

ContextModel::Successors ContextModel::bigrams(quint32 h1) const
{
    if (h1 >= words)
        return {};
    return { bigramWord + bigramStart[h1], bigramP + bigramStart[h1],
             bigramStart[h1 + 1] - bigramStart[h1], alpha2[h1] };
}

ContextModel::Successors ContextModel::trigrams(quint32 h2, quint32 h1) const
{
    if (h2 >= words || h1 >= words)
        return {};
    quint32 lo = 0, hi = trigramHistories;
    const auto key = [&](quint32 i) {
        return std::pair(historyPairs[2 * i], historyPairs[2 * i + 1]);
    };
    while (lo < hi) {
        const quint32 mid = lo + (hi - lo) / 2;
        if (key(mid) < std::pair(h2, h1))
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == trigramHistories || key(lo) != std::pair(h2, h1))
        return {};
    return { trigramWord + trigramStart[lo], trigramP + trigramStart[lo],
             trigramStart[lo + 1] - trigramStart[lo], alpha3[lo] };
}

double ContextModel::prob(quint32 w, quint32 h2, quint32 h1) const
{
    return w < words ? prob(w, trigrams(h2, h1), bigrams(h1)) : 0;
}

double ContextModel::prob(quint32 w, const Successors &t, const Successors &b) const
{
    if (const float p = t.find(w); p >= 0)
        return p;
    const float p = b.find(w);
    return t.alpha * (p >= 0 ? double(p) : b.alpha * unigram[w]);
}

ContextModel::Guesses ContextModel::top(QStringView prefix, quint32 h2, quint32 h1,
                                        qsizetype want) const
{
    Guesses result;
    if (!valid || want <= 0)
        return result;
    const auto [lo, hi] = range(WordRank::fold(prefix).toUtf8());
    const Successors t = trigrams(h2, h1), b = bigrams(h1);
    // The listed words of the range, then the likeliest by themselves: every other word's
    // probability is its own times one weight, so those come in the same order, and `want` of
    // them that are not listed are enough.
    QVarLengthArray<quint32, 128> candidates;
    for (const Successors &s : { t, b }) {
        for (const quint32 *w = std::lower_bound(s.words, s.words + s.n, lo);
             w != s.words + s.n && *w < hi; ++w)
            candidates.append(*w);
    }
    const auto listed = [&](quint32 w) { return t.find(w) >= 0 || b.find(w) >= 0; };
    qsizetype unlisted = 0;
    if (lo == 0 && hi == words) {
        for (auto it = likeliest.begin(); it != likeliest.end() && unlisted < want; ++it) {
            candidates.append(*it);
            unlisted += listed(*it) ? 0 : 1;
        }
    } else {
        const qsizetype listedCount = candidates.size();
        for (qsizetype ask = 2 * want; unlisted < want;) {
            const TopTree::Positions found = byUnigram.top(lo, hi, ask);
            unlisted = 0;
            for (const qsizetype i : found)
                unlisted += listed(quint32(i)) ? 0 : 1;
            if (unlisted >= want || found.size() < ask || ask >= want + listedCount) {
                for (const qsizetype i : found)
                    candidates.append(quint32(i));
                break;
            }
            ask = want + listedCount;
        }
    }
    std::sort(candidates.begin(), candidates.end());
    std::vector<std::pair<double, quint32>> scored;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (i > 0 && candidates[i] == candidates[i - 1])
            continue;
        if (const double p = prob(candidates[i], t, b); p > 0)
            scored.push_back({ p, candidates[i] });
    }
    const auto end = scored.begin() + std::min<qsizetype>(want, qsizetype(scored.size()));
    std::partial_sort(scored.begin(), end, scored.end(),
                      [](const auto &a, const auto &c) { return a.first > c.first; });
    for (auto it = scored.begin(); it != end; ++it)
        result.push_back({ word(it->second), it->first });
    return result;
}

std::vector<std::pair<char16_t, double>>
ContextModel::letters(QStringView prefix, quint32 h2, quint32 h1, qsizetype want,
                      const std::vector<quint32> &offered) const
{
    std::vector<std::pair<char16_t, double>> result;
    if (!valid)
        return result;
    const QByteArray key = WordRank::fold(prefix).toUtf8();
    const qsizetype k = key.size();
    const auto [lo, hi] = range(key);
    const Successors t = trigrams(h2, h1), b = bigrams(h1);
    const double weight = double(t.alpha) * b.alpha;
    std::array<double, 26> mass {};
    const auto letter = [&](quint32 i) {
        const QByteArrayView f = fold(i);
        return f.size() > k && f[k] >= 'a' && f[k] <= 'z' ? f[k] - 'a' : -1;
    };
    // Every word as if backed off to its own probability, one run of words per next byte...
    for (quint32 at = lo; at < hi;) {
        const QByteArrayView f = fold(at);
        if (f.size() <= k) {
            ++at;
            continue;
        }
        const char c = f[k];
        quint32 end = at + 1, top = hi;
        while (end < top) {
            const quint32 mid = end + (top - end) / 2;
            if (fold(mid).size() > k && fold(mid)[k] == c)
                end = mid + 1;
            else
                top = mid;
        }
        if (c >= 'a' && c <= 'z')
            mass[c - 'a'] += weight * (cumulative[end] - cumulative[at]);
        at = end;
    }
    // ...then the listed words corrected to what the context gives them.
    for (const quint32 *w = std::lower_bound(b.words, b.words + b.n, lo);
         w != b.words + b.n && *w < hi; ++w) {
        if (const int c = letter(*w); c >= 0 && t.find(*w) < 0)
            mass[c] += t.alpha * b.p[w - b.words] - weight * unigram[*w];
    }
    for (const quint32 *w = std::lower_bound(t.words, t.words + t.n, lo);
         w != t.words + t.n && *w < hi; ++w) {
        if (const int c = letter(*w); c >= 0)
            mass[c] += t.p[w - t.words] - weight * unigram[*w];
    }
    // A word already offered whole is taken whole: its letters need no place.
    for (const quint32 w : offered) {
        if (const int c = w >= lo && w < hi ? letter(w) : -1; c >= 0)
            mass[c] -= prob(w, t, b);
    }
    for (int c = 0; c < 26; ++c) {
        if (mass[c] > 1e-12)
            result.push_back({ char16_t(u'a' + c), mass[c] });
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const auto &a, const auto &c) { return a.second > c.second; });
    if (qsizetype(result.size()) > want)
        result.resize(want);
    return result;
}
