#include "contextmodelwriter.h"

#include "contextmodelformat.h"
#include "wordrank.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <tuple>

using namespace Qt::StringLiterals;

int ContextModelWriter::wordId(const QString &w)
{
    const auto it = ids.constFind(w);
    if (it != ids.constEnd())
        return *it;
    ids.insert(w, int(names.size()));
    names.append(w);
    unigram.push_back(0);
    return int(names.size()) - 1;
}

void ContextModelWriter::count(const QStringList &ngram, quint64 times)
{
    const int w = wordId(ngram.last());
    if (ngram.size() == 1)
        unigram[w] += double(times);
    else if (ngram.size() == 2)
        bigram[wordId(ngram[0])][w] += double(times);
    else if (ngram.size() == 3)
        trigram[pair(wordId(ngram[0]), wordId(ngram[1]))][w] += double(times);
}

void ContextModelWriter::countSentence(const QStringList &words)
{
    const QStringList all = QStringList { u"<s>"_s } + words;
    for (qsizetype i = 1; i < all.size(); ++i) {
        count({ all[i] });
        count({ all[i - 1], all[i] });
        if (i >= 2)
            count({ all[i - 2], all[i - 1], all[i] });
    }
}

void ContextModelWriter::setProb(const QStringList &ngram, double p)
{
    const int w = wordId(ngram.last());
    if (ngram.size() == 1)
        unigram[w] = std::max(unigram[w], p);
    else if (ngram.size() == 2)
        bigram[wordId(ngram[0])][w] += p;
    else if (ngram.size() == 3)
        trigram[pair(wordId(ngram[0]), wordId(ngram[1]))][w] += p;
}

void ContextModelWriter::estimate(double discount)
{
    const int start = wordId(u"<s>"_s);
    unigram[start] = 0;
    const double total = std::accumulate(unigram.begin(), unigram.end(), 0.0);
    for (double &u : unigram)
        u = total > 0 ? u / total : 0;
    // Interpolated absolute discounting: what each history gives up goes to the order below.
    const auto smooth = [&](QHash<int, double> &next, auto lower) {
        double sum = 0;
        for (const double c : next)
            sum += c;
        const double alpha = discount * double(next.size()) / sum;
        for (auto it = next.begin(); it != next.end(); ++it)
            *it = std::max(*it - discount, 0.0) / sum + alpha * lower(it.key());
    };
    // Trigrams back off to the bigrams as estimated, so they go first, from the counts kept aside.
    const QHash<int, QHash<int, double>> bigramCounts = bigram;
    for (auto it = bigram.begin(); it != bigram.end(); ++it)
        smooth(*it, [&](int w) { return unigram[w]; });
    for (auto it = trigram.begin(); it != trigram.end(); ++it) {
        const int h1 = int(quint32(it.key()));
        const QHash<int, double> &below = bigram[h1];
        const QHash<int, double> &counts = bigramCounts[h1];
        double sum = 0;
        for (const double c : counts)
            sum += c;
        const double alpha = sum > 0 ? discount * double(counts.size()) / sum : 1;
        smooth(*it, [&](int w) { return below.value(w, alpha * unigram[w]); });
    }
}

namespace {

struct Kept
{
    std::vector<std::pair<int, float>> next; // by word id
    double alpha = 1;
};

// The likeliest `limit` words of a history that beat their back-off guess, and the weight that
// makes the history's probabilities add up to one again.
Kept prune(const QHash<int, double> &next, int limit, const std::function<double(int)> &lower)
{
    std::vector<std::pair<double, int>> gain;
    for (auto it = next.begin(); it != next.end(); ++it) {
        if (it.value() > lower(it.key()))
            gain.push_back({ it.value(), it.key() });
    }
    std::sort(gain.rbegin(), gain.rend());
    gain.resize(std::min<std::size_t>(gain.size(), std::size_t(limit)));
    Kept kept;
    double listed = 0, lowerListed = 0;
    for (const auto &[p, w] : gain) {
        listed += p;
        lowerListed += lower(w);
        kept.next.push_back({ w, float(p) });
    }
    std::sort(kept.next.begin(), kept.next.end());
    kept.alpha = lowerListed < 1 ? std::max(1 - listed, 1e-9) / (1 - lowerListed) : 1e-9;
    return kept;
}

template<typename T> void put(QByteArray &out, const std::vector<T> &values)
{
    out.append(reinterpret_cast<const char *>(values.data()), qsizetype(values.size() * sizeof(T)));
}

void putText(QByteArray &out, const QByteArray &text)
{
    out.append(text);
    out.append(QByteArray((8 - text.size() % 8) % 8, '\0'));
}

} // namespace

QByteArray ContextModelWriter::write(int maxBigrams, int maxTrigrams) const
{
    // Folded order, the text breaking ties.
    const qsizetype n = names.size();
    std::vector<QByteArray> folds(n), texts(n);
    for (qsizetype i = 0; i < n; ++i) {
        texts[i] = names[i].toUtf8();
        folds[i] = names[i] == u"<s>"_s ? texts[i] : WordRank::fold(names[i]).toUtf8();
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return std::tie(folds[a], texts[a]) < std::tie(folds[b], texts[b]);
    });
    std::vector<quint32> newId(n);
    for (qsizetype i = 0; i < n; ++i)
        newId[order[i]] = quint32(i);

    double total = 0;
    for (qsizetype i = 0; i < n; ++i)
        total += names[i] == u"<s>"_s ? 0 : unigram[i];
    const auto p1 = [&](int w) { return total > 0 && names[w] != u"<s>"_s ? unigram[w] / total : 0; };

    std::vector<Kept> bigrams(n);
    for (auto it = bigram.begin(); it != bigram.end(); ++it)
        bigrams[it.key()] = prune(it.value(), maxBigrams, p1);
    const auto p2 = [&](int h1, int w) {
        const Kept &k = bigrams[h1];
        const auto at = std::lower_bound(k.next.begin(), k.next.end(), std::pair(w, -1.0f));
        return at != k.next.end() && at->first == w ? double(at->second) : k.alpha * p1(w);
    };
    std::vector<std::pair<std::pair<quint32, quint32>, Kept>> trigrams;
    for (auto it = trigram.begin(); it != trigram.end(); ++it) {
        const int h2 = int(it.key() >> 32), h1 = int(quint32(it.key()));
        Kept kept = prune(it.value(), maxTrigrams, [&](int w) { return p2(h1, w); });
        if (!kept.next.empty())
            trigrams.push_back({ { newId[h2], newId[h1] }, std::move(kept) });
    }
    std::sort(trigrams.begin(), trigrams.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });

    // The sections, in the order the header lists them.
    std::vector<quint32> textAt { 0 }, foldAt { 0 };
    QByteArray text, folded;
    std::vector<float> uni, alpha2;
    std::vector<double> cumulative { 0 };
    std::vector<quint32> bigramStart { 0 }, bigramWord;
    std::vector<float> bigramP;
    for (qsizetype i = 0; i < n; ++i) {
        const int w = order[i];
        text += texts[w];
        folded += folds[w];
        textAt.push_back(quint32(text.size()));
        foldAt.push_back(quint32(folded.size()));
        uni.push_back(float(p1(w)));
        cumulative.push_back(cumulative.back() + p1(w));
        alpha2.push_back(float(bigrams[w].alpha));
        std::vector<std::pair<quint32, float>> next;
        for (const auto &[v, p] : bigrams[w].next)
            next.push_back({ newId[v], p });
        std::sort(next.begin(), next.end());
        for (const auto &[v, p] : next) {
            bigramWord.push_back(v);
            bigramP.push_back(p);
        }
        bigramStart.push_back(quint32(bigramWord.size()));
    }
    std::vector<quint32> pairs, trigramStart { 0 }, trigramWord;
    std::vector<float> alpha3, trigramP;
    for (const auto &[h, kept] : trigrams) {
        pairs.push_back(h.first);
        pairs.push_back(h.second);
        alpha3.push_back(float(kept.alpha));
        std::vector<std::pair<quint32, float>> next;
        for (const auto &[v, p] : kept.next)
            next.push_back({ newId[v], p });
        std::sort(next.begin(), next.end());
        for (const auto &[v, p] : next) {
            trigramWord.push_back(v);
            trigramP.push_back(p);
        }
        trigramStart.push_back(quint32(trigramWord.size()));
    }

    ContextModelHeader header;
    header.words = quint32(n);
    header.bigrams = quint32(bigramWord.size());
    header.trigramHistories = quint32(trigrams.size());
    header.trigrams = quint32(trigramWord.size());
    header.textBytes = quint32(text.size());
    header.foldBytes = quint32(folded.size());
    QByteArray out(reinterpret_cast<const char *>(&header), sizeof header);
    put(out, cumulative); // 8-byte values first: every section stays aligned
    put(out, textAt);
    put(out, foldAt);
    put(out, uni);
    put(out, alpha2);
    put(out, bigramStart);
    put(out, bigramWord);
    put(out, bigramP);
    put(out, pairs);
    put(out, alpha3);
    put(out, trigramStart);
    put(out, trigramWord);
    put(out, trigramP);
    out.append(QByteArray((8 - out.size() % 8) % 8, '\0'));
    putText(out, text);
    putText(out, folded);
    return out;
}
