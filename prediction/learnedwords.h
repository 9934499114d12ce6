#pragma once

#include "toptree.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// The words the user completed through Kelo#, with how often, per language, kept in a small file
// of this user's and nowhere else.
//
// File: UTF-8, LF only; the line "Kelo# learned words 2", then one "language<TAB>count<TAB>word"
// line per word and one "language<TAB>count<TAB>previous<TAB>word" line per pair of words
// (language en, fr, es or de), least recently used first. Files of version 1 (words only) are
// read as they are. A line that breaks any rule (bad UTF-8, a bad field, a repeated word, past
// maxWords words or maxFileBytes, cut short at the end) is left out; the file as it was is then
// copied to "<name>.bad", or ".bad.2" up to ".bad.<maxAside>" (never over an earlier copy), with
// one line on stderr. Every write replaces the file atomically, readable by the user alone; a
// file that cannot be read, or a symbolic link, is never written.
class LearnedWords
{
public:
    static constexpr qsizetype maxWords = 10000; // words and pairs together
    static constexpr qsizetype maxLength = 64;
    static constexpr qint64 maxFileBytes = 2 * 1024 * 1024;
    static constexpr quint32 maxCount = 1'000'000'000;
    static constexpr int maxAside = 5;

    // "Kelo#-words.txt" beside the settings file; on Windows, whose settings are in the
    // registry, in the application's data folder.
    static QString defaultPath();

    // Reads the file now.
    explicit LearnedWords(const QString &path = defaultPath());

    // A word is 1 to maxLength characters, without control characters, line or paragraph
    // separators or lone surrogates, without white space at either end, and not folding to
    // nothing (a lone hyphen).
    static bool acceptable(QStringView word);
    // What is learned: acceptable words of letters only, with an apostrophe or hyphen between
    // letters; never a word mixing letters with digits or signs (a password, a code).
    static bool learnable(QStringView word);

    // Counts one use of the word in language 1 to 4, and of the pair it makes with the word
    // before when one is given, and saves; false, and nothing changes, for another language or a
    // word that is not learnable. Beyond maxWords the least used of the other entries goes (the
    // least recently used among equals).
    bool learn(int language, QStringView word, QStringView previous = {});

    // Up to `want` learned words of the language that match the prefix as WordRank matches it,
    // most used first, the most recently used first among equals.
    QStringList top(int language, QStringView prefix, qsizetype want) const;
    // The same among the words learned right after `previous` (any for an empty prefix).
    QStringList topAfter(int language, QStringView previous, QStringView prefix,
                         qsizetype want) const;

    // Empties the list and removes the file and any set-aside copy.
    void forget();

    qsizetype size() const { return qsizetype(words.size()); }
    QString path() const { return filePath; }

private:
    struct Word
    {
        int language; // 1 to 4; a pair's is 4 more
        QString key; // folded; a pair's is the previous word's and the word's, a tab between
        QString text; // a pair's likewise
        quint32 count;
        quint32 used; // larger is more recent
    };
    static bool before(const Word &a, int language, QStringView key, QStringView text);
    void load();
    bool save();
    void index();
    void count(int language, const QString &key, const QString &text, quint32 used);
    QStringList find(int language, const QString &key, qsizetype want) const;

    QString filePath;
    std::vector<Word> words; // by language, key, text
    TopTree byUse; // (count, used) of words, in their order
    quint32 clock = 0;
    bool warnedWrite = false;
    bool writable = true;
};
