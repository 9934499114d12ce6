#include "predictor.h"

#include "contextmodel.h"
#include "learnedwords.h"
#include "wordlist.h"
#include "wordrank.h"

#include <QThread>

#include <algorithm>
#include <chrono>

using namespace Qt::StringLiterals;

Predictor::Predictor(const QString &learnedPath)
    : learnedPath(learnedPath)
{
    sentence();
}

Predictor::~Predictor()
{
    wait();
}

void Predictor::wait()
{
    if (loader)
        loader->wait();
    loader.reset();
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
    auto promise = std::make_shared<std::promise<Data>>();
    loading = promise->get_future().share();
    loader.reset(QThread::create([n, ranked, promise] {
        Data d;
        d.list = WordList::forLanguage(n);
        // Built now rather than on the first letter typed.
        if (ranked)
            d.rank = WordRank::forLanguage(n);
        d.model = ContextModel::forLanguage(n);
        promise->set_value(d);
    }));
    // Idle priority: the loader takes only what the window leaves, so the first frames are
    // never held up; a look-up that waits for it leaves it the processor.
    loader->start(QThread::IdlePriority);
}

const Predictor::Data &Predictor::data()
{
    if (!loaded && loading.valid()) {
        // Someone waits now: the loader runs as any thread does.
        if (loader && loading.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            loader->setPriority(QThread::NormalPriority);
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
    QStringList first;
    const auto add = [&](const QStringList &words) {
        for (const QString &w : words) {
            if (first.size() < 5 && !first.contains(w))
                first.append(w);
        }
    };
    if (order == 3)
        add(learned().topAfter(language, before[1], prefix, 5));
    if (order >= 2)
        add(learned().top(language, prefix, 5));
    if (order == 3 && d.model) {
        const auto [h2, h1] = history(*d.model);
        for (const ContextModel::Guess &g : d.model->top(prefix, h2, h1, 5))
            add({ g.word });
    }
    return d.rank->complete(prefix, first);
}

std::pair<quint32, quint32> Predictor::history(const ContextModel &model)
{
    if (historyOf != &model) {
        historyIds = { model.id(before[0]), model.id(before[1]) };
        historyOf = &model;
    }
    return historyIds;
}

QStringList Predictor::next()
{
    QStringList five(5, QString());
    if (order != 3 || language == 0)
        return five;
    const Data &d = data();
    QStringList words = learned().topAfter(language, before[1], {}, 5);
    // The user's own pairs are offered whatever the model says.
    double sure = words.isEmpty() ? 0 : 1;
    if (d.model) {
        const auto [h2, h1] = history(*d.model);
        for (const ContextModel::Guess &g : d.model->top({}, h2, h1, 5)) {
            if (words.size() < 5 && !words.contains(g.word)) {
                words.append(g.word);
                sure += g.p;
            }
        }
    }
    if (sure < confidence)
        return five;
    for (qsizetype i = 0; i < words.size(); ++i)
        five[i] = words[i];
    return five;
}

QString Predictor::letters(QStringView prefix, const QStringList &offered)
{
    QString result;
    if (language == 0)
        return result;
    const Data &d = data();
    if (!d.model)
        return result;
    const auto [h2, h1] = history(*d.model);
    std::vector<quint32> ids;
    for (const QString &w : offered) {
        if (const quint32 id = d.model->id(w);
            id != ContextModel::none && std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    }
    for (const auto &[letter, p] : d.model->letters(prefix, h2, h1, 6, ids))
        result.append(QChar(letter));
    return result;
}

void Predictor::sentence()
{
    before[0].clear();
    before[1] = u"<s>"_s;
    historyOf = nullptr;
}

void Predictor::rank(int n)
{
    if (n < 0 || n > 3)
        return;
    order = n;
    // The ranking is built on the loader's thread too, before the first letter needs it.
    if (n > 0 && language != 0 && !(loaded ? current.rank != nullptr : loadingRanked))
        load();
    if (n >= 2)
        learned();
}

void Predictor::learn(QStringView word)
{
    if (word.isEmpty())
        return;
    if (order >= 2 && language != 0 && !learningPaused)
        learned().learn(language, word, before[1] == u"<s>"_s ? QStringView() : before[1]);
    before[0] = before[1];
    before[1] = word.toString().toLower();
    historyOf = nullptr;
}

void Predictor::forget()
{
    learned().forget();
}
