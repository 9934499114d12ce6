#pragma once

#include "toptree.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

class WordList;

// The entries of one word list ranked by how often they are used, for prefix look-ups.
//
// A prefix matches an entry when the entry's folded form starts with the prefix's folded form.
// Folding drops case, accents and hyphens and writes ß as ss, as the lists' first level orders
// them: the letters panel types only a to z, so "ecol" must reach "école" and "uber" "über".
//
// Entries are kept in folded order, so the entries matching a prefix are one range, found by
// binary search; a TopTree over that order, keyed by (count, -list position), gives the most
// frequent of the range. Look-ups take a few microseconds whatever the list; memory is 16 bytes
// per entry, and 4 more when the list is not in folded order.
class WordRank
{
public:
    // The ranking of language 1 (English), 2 (French), 3 (Spanish) or 4 (German) with the
    // counts bundled beside its list, built on first use and kept for the whole run; nullptr
    // for any other number.
    static const WordRank *forLanguage(int language);

    // Counts are "word<TAB>count" lines in the list's order; a file that cannot be read, or
    // lines that do not match the list, leave the entries concerned without a count.
    WordRank(const WordList &list, const QString &countsPath);

    // Up to `want` entries that match the prefix: the counted ones first, most frequent first,
    // ties in list order; then those without a count, in list order. None for a prefix that
    // folds to nothing.
    QStringList top(QStringView prefix, qsizetype want) const;
    // Five answers: the words of `first` (at most five), then the top entries not among them,
    // then empty strings.
    QStringList complete(QStringView prefix, const QStringList &first = {}) const;

    // Lower case, accents removed, ß as ss, hyphens dropped.
    static QString fold(QStringView text);

    qsizetype countedEntries() const { return counted; }
    std::size_t memoryBytes() const;

private:
    bool inFoldedOrder() const;
    void sortByFoldedForm(); // sorts `order`
    QStringView sortedEntry(qsizetype i) const;

    const WordList &list;
    qsizetype size = 0; // entries ranked: the list's, less any at its end that fold to nothing
    qsizetype counted = 0;
    std::vector<quint32> order; // list positions in folded order; empty when the list is in it
    TopTree tree; // (count << 32 | ~list position) in folded order
};
