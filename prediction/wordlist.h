#pragma once

#include <QLocale>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <vector>

// One word list from the resources, decoded once, answering prefix look-ups.
//
// The answer is the one a line-by-line scan of the file gives: the five lines starting at the
// first line, in file order, that QString::localeAwareCompare does not place before the prefix;
// the last five lines when there is none. The scan is replaced by a binary search over the
// running maximum of the lines under that same comparison, so the answer stays exact for lists
// that are not in the collation's order. The running maximum depends on the collation, so it is
// kept per locale and rebuilt when the default locale changes.
//
// The byte-order mark at the start of the file is not part of the first entry.
class WordList
{
public:
    // The list of language 1 (English), 2 (French), 3 (Spanish) or 4 (German), loaded on first
    // use and kept for the whole run; nullptr for any other number.
    static const WordList *forLanguage(int language);

    // Reads the file as text: every CR is dropped, lines end at LF, and a last line without LF
    // counts. A file that cannot be read gives an empty list.
    explicit WordList(const QString &path);
    ~WordList();

    // Five entries, oldest first; five empty strings for an empty prefix. Entries the list
    // cannot fill (fewer than five lines) are empty strings at the front.
    QStringList complete(QStringView prefix) const;

    qsizetype size() const { return qsizetype(starts.size()) - 1; }
    QStringView entry(qsizetype i) const
    {
        return QStringView(text).mid(starts[i], starts[i + 1] - starts[i]);
    }

    // Builds the search order for the current default locale now rather than on the first
    // look-up.
    void prepare() const;

private:
    struct Order
    {
        QLocale locale;
        // Lines at which the running maximum rises, in file order; each sorts after the last.
        std::vector<quint32> rises;
    };
    const Order &orderForCurrentLocale() const;

    QString text; // every entry, back to back
    std::vector<quint32> starts; // entry i is text[starts[i], starts[i + 1])

    mutable QMutex mutex;
    mutable std::vector<std::unique_ptr<Order>> orders; // most recently used last
};
