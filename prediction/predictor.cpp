#include "predictor.h"

#include "learnedwords.h"
#include "wordlist.h"
#include "wordrank.h"

Predictor::Predictor(const QString &learnedPath)
    : learnedPath(learnedPath)
{
}

Predictor::~Predictor()
{
    wait();
}

void Predictor::wait()
{
    if (loading.valid())
        loading.wait();
}

void Predictor::lang(int n)
{
    if (n < 1 || n > 4)
        return;
    language = n;
    load();
}

void Predictor::load()
{
    wait();
    loaded = false;
    current = {};
    const int n = language;
    const bool ranked = loadingRanked = order > 0;
    loading = std::async(std::launch::async, [n, ranked] {
                  Data d;
                  d.list = WordList::forLanguage(n);
                  // Built now rather than on the first letter typed.
                  if (ranked)
                      d.rank = WordRank::forLanguage(n);
                  return d;
              }).share();
}

const Predictor::Data &Predictor::data()
{
    if (!loaded && loading.valid()) {
        current = loading.get();
        loaded = true;
    }
    if (order > 0 && !current.rank && language != 0)
        current.rank = WordRank::forLanguage(language);
    return current;
}

LearnedWords &Predictor::learned()
{
    if (!learnedWords)
        learnedWords = std::make_unique<LearnedWords>(
            learnedPath.isEmpty() ? LearnedWords::defaultPath() : learnedPath);
    return *learnedWords;
}

QStringList Predictor::t9(QStringView prefix)
{
    if (prefix.isEmpty() || language == 0)
        return QStringList(5, QString());
    const Data &d = data();
    if (order == 0)
        return d.list->complete(prefix);
    const QStringList first = order == 2 ? learned().top(language, prefix, 5) : QStringList();
    return d.rank->complete(prefix, first);
}

void Predictor::rank(int n)
{
    if (n < 0 || n > 2)
        return;
    order = n;
    // The ranking is built on the loader's thread too, before the first letter needs it.
    if (n > 0 && language != 0 && !(loaded ? current.rank != nullptr : loadingRanked))
        load();
    if (n == 2)
        learned();
}

void Predictor::learn(QStringView word)
{
    if (order == 2 && language != 0)
        learned().learn(language, word);
}

void Predictor::forget()
{
    learned().forget();
}
