#include "wordlist.h"

#include <QFile>

const WordList *WordList::forLanguage(int language)
{
    static const char *const paths[] = { ":/da.txt", ":/df.txt", ":/ds.txt", ":/dg.txt" };
    static WordList *lists[4] = {};
    if (language < 1 || language > 4)
        return nullptr;
    WordList *&list = lists[language - 1];
    if (!list)
        list = new WordList(QString::fromLatin1(paths[language - 1]));
    return list;
}

WordList::WordList(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        entries = QString::fromUtf8(file.readAll()).split(u'\n');
}

QStringList WordList::complete(QStringView prefix) const
{
    QStringList result(5, QString());
    for (const QString &entry : entries) {
        result.removeFirst();
        result.append(entry);
        if (QString::localeAwareCompare(result.first(), prefix) >= 0)
            break;
    }
    return result;
}
