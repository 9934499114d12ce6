#pragma once

#include "toptree.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// The words the user completed through Kelo#, with how often, per language, kept in a small file
// of this user's and nowhere else.
//
// File: UTF-8, LF only; the line "Kelo# learned words 1", then one "language<TAB>count<TAB>word"
// line per word (language en, fr, es or de), least recently used first. A file that breaks any
// rule (bad UTF-8, a bad line, more than maxWords lines, larger than maxFileBytes) is set aside
// as "<name>.bad" with one line on stderr, and a new one is started. Every write replaces the
// file atomically.
class LearnedWords
{
public:
    static constexpr qsizetype maxWords = 5000;
    static constexpr qsizetype maxLength = 64;
    static constexpr qint64 maxFileBytes = 2 * 1024 * 1024;
    static constexpr quint32 maxCount = 1'000'000'000;

    // "Kelo#-words.txt" beside the settings file; on Windows, whose settings are in the
    // registry, in the application's data folder.
    static QString defaultPath();

    // Reads the file now.
    explicit LearnedWords(const QString &path = defaultPath());

    // A word is 1 to maxLength characters, without control characters, line or paragraph
    // separators or lone surrogates, without white space at either end, and not folding to
    // nothing (a lone hyphen).
    static bool acceptable(QStringView word);

    // Counts one use of the word in language 1 to 4 and saves; false, and nothing changes, for
    // another language or a word that is not acceptable. Beyond maxWords the least used of the
    // other words goes (the least recently used among equals).
    bool learn(int language, QStringView word);

    // Up to `want` learned words of the language that match the prefix as WordRank matches it,
    // most used first, the most recently used first among equals.
    QStringList top(int language, QStringView prefix, qsizetype want) const;

    // Empties the list and removes the file and any set-aside copy.
    void forget();

    qsizetype size() const { return qsizetype(words.size()); }
    QString path() const { return filePath; }

private:
    struct Word
    {
        int language;
        QString key; // folded
        QString text;
        quint32 count;
        quint32 used; // larger is more recent
    };
    static bool before(const Word &a, int language, QStringView key, QStringView text);
    void load();
    bool save();
    void index();

    QString filePath;
    std::vector<Word> words; // by language, key, text
    TopTree byUse; // (count, used) of words, in their order
    quint32 clock = 0;
    bool warnedWrite = false;
};
