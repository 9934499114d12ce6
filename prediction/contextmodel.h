#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <vector>

#include "toptree.h"

// The probability of the next word given the one or two words before it: a pruned back-off
// trigram model read from a file that stays mapped, so only the pages a look-up touches are
// resident. What is mapped is a private copy of the file on disk, so the file may change or go
// while the model is in use.
//
// P(w | a b) is the trigram's own probability when (a b w) is kept, else alpha(a b) P(w | b);
// P(w | b) likewise backs off to alpha(b) P(w). Words are in folded order (see WordRank::fold),
// so the words that match the letters typed are one range. The sentence start is the word
// "<s>": a history, never an answer.
class ContextModel
{
public:
    // One word and its probability in the context asked for.
    struct Guess
    {
        QString word;
        double p = 0;
    };
    using Guesses = std::vector<Guess>;
    static constexpr quint32 none = 0xffffffff;

    // The model of language 1 to 4 ("ctx_en.bin", ... beside the executable), opened on first use
    // and kept for the run; nullptr for other numbers or a missing or damaged file.
    static const ContextModel *forLanguage(int language);
    // The folders searched for the model files, in order.
    static QStringList folders();

    // Opens a model file or, when the path is empty, the bytes given (kept by the model).
    explicit ContextModel(const QString &path, const QByteArray &bytes = {});
    ~ContextModel();
    bool isValid() const { return valid; }
    QString error() const { return problem; }

    // The word's id, lower case compared; none when the model does not know it.
    quint32 id(QStringView word) const;
    qsizetype size() const { return qsizetype(words); }
    QString word(quint32 id) const;

    // P(w | h2 h1); h2, h1 may be none (no word known there).
    double prob(quint32 w, quint32 h2, quint32 h1) const;
    // Up to `want` words that start with the folded prefix (any word for an empty one), likeliest
    // first, and their probabilities.
    Guesses top(QStringView prefix, quint32 h2, quint32 h1, qsizetype want) const;
    // Letters a to z that may follow the prefix, likeliest first, with the probability of the
    // words each leads to, the words `offered` (ids) left out; at most `want`.
    std::vector<std::pair<char16_t, double>>
    letters(QStringView prefix, quint32 h2, quint32 h1, qsizetype want,
            const std::vector<quint32> &offered = {}) const;

    // Bytes of the file.
    qint64 fileBytes() const { return bytes; }

private:
    struct Header;
    // The file to map; nullptr where no copy can be made.
    static std::unique_ptr<QFile> privateCopy(QFile &source);
    bool open(const uchar *data, qint64 size);
    QByteArrayView fold(quint32 i) const;
    // The words whose folded form starts with the folded prefix: [from, to).
    std::pair<quint32, quint32> range(QByteArrayView foldedPrefix) const;
    // Successor lists of a history: the words after it and their probabilities; empty for none.
    struct Successors
    {
        const quint32 *words = nullptr;
        const float *p = nullptr;
        quint32 n = 0;
        double alpha = 1;
        float find(quint32 w) const; // -1 when not listed
    };
    Successors bigrams(quint32 h1) const;
    double prob(quint32 w, const Successors &t, const Successors &b) const;
    Successors trigrams(quint32 h2, quint32 h1) const;

    std::unique_ptr<QFile> file;
    QByteArray owned;
    bool valid = false;
    QString problem;
    qint64 bytes = 0;

    quint32 words = 0, bigramCount = 0, trigramHistories = 0, trigramCount = 0;
    const quint32 *textAt = nullptr, *foldAt = nullptr;
    const char *text = nullptr, *folded = nullptr;
    const float *unigram = nullptr, *alpha2 = nullptr, *alpha3 = nullptr;
    const double *cumulative = nullptr;
    const quint32 *bigramStart = nullptr, *bigramWord = nullptr;
    const float *bigramP = nullptr;
    const quint32 *historyPairs = nullptr, *trigramStart = nullptr, *trigramWord = nullptr;
    const float *trigramP = nullptr;
    TopTree byUnigram; // the unigram probabilities' order, in folded order
    std::vector<quint32> likeliest; // the likeliest words by themselves, likeliest first
};
