#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <future>
#include <memory>

class LearnedWords;
class WordList;
class WordRank;

// Word prediction as the front end asks for it: the chosen language, the order of the five
// answers and the words this user taught. A language's data load on a thread of their own when
// it is chosen, so choosing never holds up the window; a look-up asked before they are ready
// waits for them rather than answer nothing.
class Predictor
{
public:
    // Learned words are kept in the file at learnedPath, or the default one when empty.
    explicit Predictor(const QString &learnedPath = {});
    ~Predictor();
    Predictor(const Predictor &) = delete;
    Predictor &operator=(const Predictor &) = delete;

    // Language 1 (English), 2 (French), 3 (Spanish) or 4 (German); other numbers keep the
    // current one.
    void lang(int language);
    // Five answers for the letters typed; five empty strings for none or before any language.
    QStringList t9(QStringView prefix);
    // 0 alphabetical, 1 by frequency, 2 by frequency after the user's own words; other numbers
    // are ignored.
    void rank(int order);
    // Counts a word the user completed, while the order is 2; ignored otherwise.
    void learn(QStringView word);
    void forget();
    // Waits for a language still loading: nothing may be torn down under the loader.
    void wait();

private:
    struct Data
    {
        const WordList *list = nullptr;
        const WordRank *rank = nullptr;
    };
    void load();
    const Data &data();
    LearnedWords &learned();

    QString learnedPath;
    std::unique_ptr<LearnedWords> learnedWords; // read on first use
    std::shared_future<Data> loading;
    Data current;
    bool loaded = false;
    bool loadingRanked = false;
    int language = 0;
    int order = 0;
};
