#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// One word list from the resources, decoded once, answering prefix look-ups.
class WordList
{
public:
    // The list of language 1 (English), 2 (French), 3 (Spanish) or 4 (German), loaded on first
    // use and kept for the whole run; nullptr for any other number.
    static const WordList *forLanguage(int language);

    explicit WordList(const QString &path);

    // The five entries starting at the first one, in file order, that the user's collation does
    // not place before prefix; the last five entries when there is none.
    QStringList complete(QStringView prefix) const;

private:
    QStringList entries;
};
