#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

// Makes the file ContextModel reads, from n-gram counts or from the probabilities of another
// back-off model. Words are taken as given (callers lower-case them); "<s>" is the sentence
// start.
class ContextModelWriter
{
public:
    // Counts one use of an n-gram of one to three words.
    void count(const QStringList &ngram, quint64 times = 1);
    // Counts every n-gram of a sentence, after a sentence start.
    void countSentence(const QStringList &words);
    // Turns the counts into probabilities: unigrams by relative frequency; bigrams and trigrams
    // by absolute discounting interpolated with the order below (discount 0 to 1).
    void estimate(double discount = 0.75);

    // Probabilities given directly: P(w), P(w | h1), P(w | h2 h1).
    void setProb(const QStringList &ngram, double p);

    // What is kept: for each history the `maxBigrams` (`maxTrigrams`) likeliest following words
    // that are likelier there than their back-off guess says, and the trigram histories with at
    // least one such word. Back-off weights are computed again from what is kept, so every
    // history's probabilities still add up to one.
    QByteArray write(int maxBigrams, int maxTrigrams) const;

    qsizetype words() const { return qsizetype(names.size()); }

private:
    int wordId(const QString &w);
    static quint64 pair(int a, int b) { return quint64(quint32(a)) << 32 | quint32(b); }

    QHash<QString, int> ids;
    QStringList names;
    std::vector<double> unigram; // counts, then probabilities
    QHash<int, QHash<int, double>> bigram; // history -> word -> count or probability
    QHash<quint64, QHash<int, double>> trigram;
};
