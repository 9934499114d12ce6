// Scan steps per character for an ideal one-switch user in the keyboard view, who presses as
// soon as the wanted position is lit: reaching a group costs the periods until it is lit,
// counting its own; an entry costs its position + 1; a chosen prediction types the word and a
// space. The groups' letters come from the program's label table and the predictions from its
// own look-up, for each prediction order.
//   bench_typing PHRASES_FILE     (lower-case letters and spaces, one phrase a line)

#include "predictor.h"

#include <QCoreApplication>
#include <QFile>
#include <QJSEngine>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct Setup
{
    bool predict = true;
    int order = 0;
    bool padJump = false;
};

class Typist
{
public:
    Typist(Predictor &predictor, const QStringList &groups, const Setup &setup)
        : predictor(predictor)
        , groups(groups)
        , setup(setup)
    {
    }

    // Steps for the phrase, each word followed by a space.
    long type(const QStringList &words)
    {
        long steps = 0;
        for (const QString &word : words)
            steps += typeWord(word);
        return steps;
    }

private:
    // Periods until position t is lit, its own included. The pad (7) is scanned after group 6
    // while a word is being typed.
    long reach(int t) const
    {
        const int n = padShown() ? 7 : 6;
        return t == pos ? 1 : (t - pos + n) % n + 1;
    }
    bool padShown() const { return setup.predict && !typed.isEmpty(); }

    // The cost of choosing word among the predictions now, or -1 when it is not offered.
    long predictionCost(const QString &word)
    {
        if (!padShown())
            return -1;
        const int k = int(predictor.t9(typed).indexOf(word));
        return k < 0 ? -1 : reach(7) + k + 1;
    }

    long typeWord(const QString &word)
    {
        long steps = 0;
        typed.clear();
        for (const QChar letter : word) {
            if (const long cost = predictionCost(word); cost >= 0)
                return steps + finish(word, cost, true);
            int group = 0, entry = -1;
            while (entry < 0 && group < 4)
                entry = int(groups[group++].indexOf(letter));
            if (entry < 0)
                continue; // not on the letters panel
            steps += reach(group) + entry + 1;
            typed += letter;
            pos = setup.padJump && padShown() ? 7 : group;
        }
        // The word typed out: a space from "More", or the word among the predictions if that
        // comes sooner.
        const long space = reach(5) + 1, chosen = predictionCost(word);
        return steps
            + (chosen >= 0 && chosen < space ? finish(word, chosen, true)
                                             : finish(word, space, false));
    }

    long finish(const QString &word, long cost, bool predicted)
    {
        predictor.learn(word);
        typed.clear();
        // A chosen prediction hides the pad and the scan goes on from group 1; a space leaves
        // the highlight on "More".
        pos = predicted ? 1 : 5;
        return cost;
    }

    Predictor &predictor;
    const QStringList &groups;
    const Setup setup;
    QString typed;
    int pos = 1;
};

} // namespace

int main(int argc, char **argv)
{
    // The learned words go to a settings folder of the benchmark's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QCoreApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Tarvo Technologies"));
    app.setApplicationName(QStringLiteral("Kelo#"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_typing PHRASES_FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    QFile labels(QStringLiteral(":/lang.js"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || !labels.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s or the label table\n", argv[1]);
        return 1;
    }
    QList<QStringList> phrases;
    long characters = 0;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QStringList words = line.simplified().toLower().split(u' ', Qt::SkipEmptyParts);
        for (const QString &word : words)
            characters += word.size() + 1;
        if (!words.isEmpty())
            phrases << words;
    }

    // The English letters groups, as the panel shows them (first element: the group's title).
    QJSEngine engine;
    engine.evaluate(QString::fromUtf8(labels.readAll()));
    QStringList groups;
    for (int label = 35; label <= 38; ++label) {
        const QJSValue list = engine.globalObject().property(QStringLiteral("en")).property(label);
        QString letters;
        for (int i = 1; i < list.property(QStringLiteral("length")).toInt(); ++i)
            letters += list.property(i).toString();
        groups << letters;
    }

    Predictor predictor;
    predictor.lang(1);
    const auto run = [&](const Setup &setup) {
        predictor.rank(setup.order);
        Typist typist(predictor, groups, setup);
        long steps = 0;
        for (const QStringList &words : phrases)
            steps += typist.type(words);
        return double(steps) / double(characters);
    };
    const double off = run({ false, 0, false });
    const double alphabetical = run({ true, 0, false });
    const double frequency = run({ true, 1, false });
    const double jump = run({ true, 1, true });
    predictor.forget();
    run({ true, 2, true }); // the first pass teaches the user's words
    const double learned = run({ true, 2, true });
    predictor.forget();

    // Words a minute at a 1000 ms period, five characters a word.
    const auto wpm = [](double spc) {
        return 60.0 / spc / 5.0;
    };
    std::printf("characters=%ld spc_off=%.3f spc_alphabetical=%.3f spc_frequency=%.3f "
                "spc_frequency_jump=%.3f spc_learned=%.3f wpm_off=%.2f wpm_alphabetical=%.2f "
                "wpm_frequency=%.2f wpm_frequency_jump=%.2f wpm_learned=%.2f\n",
                characters, off, alphabetical, frequency, jump, learned, wpm(off),
                wpm(alphabetical), wpm(frequency), wpm(jump), wpm(learned));
    return 0;
}
