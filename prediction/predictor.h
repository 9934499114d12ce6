#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <future>
#include <memory>

class ContextModel;
class QThread;
class LearnedWords;
class WordList;
class WordRank;

// Word prediction as the front end asks for it: the chosen language, the order of the five
// answers, the words before the one being typed and the words this user taught. A language's
// data load on a thread of their own, at idle priority, when it is chosen, so choosing never
// holds up the window; a look-up asked before they are ready waits for them rather than answer
// nothing.
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
    // 0 alphabetical, 1 by frequency, 2 by frequency after the user's own words, 3 by the words
    // before and the user's own words and pairs; other numbers are ignored.
    void rank(int order);
    // A word the user completed: it becomes the context of the next, and with orders 2 and 3,
    // unless learning is paused, it is learned with the word before it.
    void learn(QStringView word);
    // The next word starts a sentence, or follows text that could not be followed.
    void sentence();
    // The five likeliest words to come next, before their first letter, when the model is sure
    // enough (their chances add up to `confidence` at least); five empty strings otherwise and
    // with orders 0 to 2.
    QStringList next();
    // The likeliest letters a to z to follow the letters typed, likeliest first (six at most),
    // for a word other than those `offered` whole; empty without a model.
    QString letters(QStringView prefix, const QStringList &offered = {});
    void pause(bool paused) { learningPaused = paused; }
    void forget();
    // Waits for a language still loading: nothing may be torn down under the loader.
    void wait();

    // The least sum of the five chances for which next() offers its words.
    double confidence = 0.3;

private:
    struct Data
    {
        const WordList *list = nullptr;
        const WordRank *rank = nullptr;
        const ContextModel *model = nullptr;
    };
    void load();
    const Data &data();
    LearnedWords &learned();
    // The ids of the two words before in the model; none where unknown.
    std::pair<quint32, quint32> history(const ContextModel &model);

    QString learnedPath;
    std::unique_ptr<LearnedWords> learnedWords; // read on first use
    std::shared_future<Data> loading;
    std::unique_ptr<QThread> loader;
    Data current;
    bool loaded = false;
    bool loadingRanked = false;
    bool learningPaused = false;
    int language = 0;
    int order = 0;
    QString before[2]; // the word before the last, the last; "<s>" at a sentence start
    // Their ids in the model last asked, kept until they change.
    const ContextModel *historyOf = nullptr;
    std::pair<quint32, quint32> historyIds;
};
