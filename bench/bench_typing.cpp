// Scan steps per character for an ideal one-switch user in the keyboard view, who presses as
// soon as the wanted position is lit: reaching a group costs the periods until it is lit,
// counting its own; an entry costs its position + 1; a chosen prediction types the word and a
// space. The groups' letters come from the program's label table and the predictions from its
// own look-up, for each prediction order.
//   bench_typing PHRASES_FILE [LANGUAGE]   (one phrase a line, a sentence of its own; LANGUAGE
//                                           en, fr, es or de, en by default)
// Order 3 adds the next words before the first letter and, as an option, a group of the six
// likeliest letters at the start of the scan. spc_best is the fewest steps of the settings
// without learning; spc_best_learned of those with learning, after one pass that teaches it.

#include "contextmodel.h"
#include "predictor.h"
#include "wordrank.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QJSEngine>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

using namespace Qt::StringLiterals;

namespace {

struct Setup
{
    bool predict = true;
    int order = 0;
    bool padJump = false;
    bool letters = false; // the likeliest letters' group at the start of the scan
};

// Look-up times, microseconds, per kind of question.
std::map<QString, std::vector<double>> timings;

// Each look-up is timed as the median of five calls, so one call held up by another process is
// not taken for the look-up's own time.
template<typename F> auto timed(const QString &kind, F &&f)
{
    std::array<double, 5> times;
    auto result = f();
    for (double &t : times) {
        QElapsedTimer clock;
        clock.start();
        result = f();
        t = double(clock.nsecsElapsed()) / 1000.0;
    }
    std::nth_element(times.begin(), times.begin() + 2, times.end());
    timings[kind].push_back(times[2]);
    return result;
}

class Typist
{
public:
    Typist(Predictor &predictor, const QStringList &groups, const Setup &setup)
        : predictor(predictor)
        , groups(groups)
        , setup(setup)
    {
    }

    // Steps for the phrase, a sentence of its own, each word followed by a space.
    long type(const QStringList &words)
    {
        predictor.sentence();
        long steps = 0;
        for (const QString &word : words)
            steps += typeWord(word);
        return steps;
    }

private:
    // Periods until position t is lit, its own included. The scan goes through the letters'
    // group (0) when it is on, the groups 1 to 6, and the pad (7) while it shows.
    long reach(int t) const
    {
        QVarLengthArray<int, 8> cycle;
        for (int p = setup.letters ? 0 : 1; p <= 7; ++p) {
            if (p < 7 || padShown())
                cycle.append(p);
        }
        const qsizetype from = cycle.indexOf(pos), to = cycle.indexOf(t);
        if (from < 0)
            return to + 1; // the scan starts over
        return from == to ? 1 : (to - from + cycle.size()) % cycle.size() + 1;
    }
    bool padShown() const { return setup.predict && (!typed.isEmpty() || !row.isEmpty()); }
    QString kind() const { return u"order %1"_s.arg(setup.order); }

    // The words the pad offers now; none while it does not show.
    QStringList offered()
    {
        if (!padShown())
            return {};
        return typed.isEmpty() ? row : timed(kind(), [&] { return predictor.t9(typed); });
    }

    // The cost of choosing word among the predictions shown, or -1 when it is not offered.
    long predictionCost(const QString &word, const QStringList &shown) const
    {
        const int k = int(shown.indexOf(word));
        return k < 0 ? -1 : reach(7) + k + 1;
    }

    long typeWord(const QString &word)
    {
        long steps = 0;
        typed.clear();
        row.clear();
        if (setup.predict && setup.order == 3) {
            const QStringList next = timed(u"next word"_s, [&] { return predictor.next(); });
            if (!next.first().isEmpty())
                row = next;
        }
        if (setup.padJump && !row.isEmpty())
            pos = 7;
        for (const QChar letter : word) {
            const QStringList shown = offered();
            if (const long cost = predictionCost(word, shown); cost >= 0)
                return steps + finish(word, cost, true);
            // A letter off the panel is typed as its base letter (é as e).
            const QString folded = WordRank::fold(QString(letter));
            const QChar base = folded.isEmpty() ? letter : folded.front();
            int group = 0, entry = -1;
            while (entry < 0 && group < 4)
                entry = int(groups[group++].indexOf(base));
            if (entry < 0)
                continue; // not on the letters panel
            long cost = reach(group) + entry + 1;
            if (setup.letters) {
                const QString likely
                    = timed(u"letters"_s, [&] { return predictor.letters(typed, shown); });
                const qsizetype k = likely.indexOf(base);
                if (k >= 0 && reach(0) + k + 1 < cost) {
                    cost = reach(0) + k + 1;
                    group = 0;
                }
            }
            steps += cost;
            typed += letter;
            row.clear();
            pos = setup.padJump && padShown() ? 7 : group;
        }
        // The word typed out: a space from "More", or the word among the predictions if that
        // comes sooner.
        const long space = reach(5) + 1, chosen = predictionCost(word, offered());
        return steps
            + (chosen >= 0 && chosen < space ? finish(word, chosen, true)
                                             : finish(word, space, false));
    }

    long finish(const QString &word, long cost, bool predicted)
    {
        predictor.learn(word);
        typed.clear();
        row.clear();
        // A chosen prediction hides the pad and the scan goes on from the first group; a space
        // leaves the highlight on "More".
        pos = predicted ? (setup.letters ? 0 : 1) : 5;
        return cost;
    }

    Predictor &predictor;
    const QStringList &groups;
    const Setup setup;
    QString typed;
    QStringList row; // the next words offered before the first letter
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
        std::fprintf(stderr, "usage: bench_typing PHRASES_FILE [en|fr|es|de]\n");
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

    const QString code = argc > 2 ? QString::fromLocal8Bit(argv[2]) : u"en"_s;
    const int language = int(QStringList({ u"en"_s, u"fr"_s, u"es"_s, u"de"_s }).indexOf(code)) + 1;
    if (language == 0) {
        std::fprintf(stderr, "LANGUAGE is en, fr, es or de\n");
        return 2;
    }
    Predictor predictor;
    predictor.lang(language);
    const auto run = [&](const Setup &setup, bool learning = false) {
        predictor.pause(!learning);
        predictor.rank(setup.order);
        Typist typist(predictor, groups, setup);
        long steps = 0;
        for (const QStringList &words : phrases)
            steps += typist.type(words);
        return double(steps) / double(characters);
    };
    // After one pass that teaches the user's words and pairs.
    const auto learnedRun = [&](const Setup &setup) {
        predictor.forget();
        run(setup, true);
        const double spc = run(setup, true);
        predictor.forget();
        return spc;
    };
    // Every kind of look-up once, so the times leave out loading.
    run({ true, 3, true, true });
    timings.clear();
    const double off = run({ false, 0, false });
    const double alphabetical = run({ true, 0, false });
    const double frequency = run({ true, 1, false });
    const double jump = run({ true, 1, true });
    const double learned = learnedRun({ true, 2, true });
    const double context = run({ true, 3, true });
    const double contextLetters = run({ true, 3, true, true });
    const double best = std::min({ off, alphabetical, frequency, jump, context, contextLetters,
                                   run({ true, 1, true, true }), run({ true, 3, false }),
                                   run({ true, 3, false, true }) });
    // KELO_BENCH_DETAIL=1: how sure the model must be before the next words show (the rule the
    // program keeps is the one that saves most here and on held-out text).
    if (qEnvironmentVariableIsSet("KELO_BENCH_DETAIL")) {
        const double kept = predictor.confidence;
        for (const double c : { 0.0, 0.1, 0.2, 0.3, 0.4, 0.6 }) {
            predictor.confidence = c;
            std::printf("confidence=%.2f jump=%.3f jump_letters=%.3f letters=%.3f plain=%.3f\n", c,
                        run({ true, 3, true }), run({ true, 3, true, true }),
                        run({ true, 3, false, true }), run({ true, 3, false }));
        }
        predictor.confidence = kept;
    }
    const double bestLearned = std::min(
        { learned, learnedRun({ true, 3, true }), learnedRun({ true, 3, true, true }) });

    // Words a minute at a 1000 ms period, five characters a word.
    const auto wpm = [](double spc) {
        return 60.0 / spc / 5.0;
    };
    std::printf("characters=%ld spc_off=%.3f spc_alphabetical=%.3f spc_frequency=%.3f "
                "spc_frequency_jump=%.3f spc_learned=%.3f spc_context=%.3f "
                "spc_context_letters=%.3f spc_best=%.3f spc_best_learned=%.3f wpm_off=%.2f "
                "wpm_alphabetical=%.2f wpm_frequency=%.2f wpm_frequency_jump=%.2f "
                "wpm_learned=%.2f wpm_context=%.2f wpm_context_letters=%.2f wpm_best=%.2f "
                "wpm_best_learned=%.2f\n",
                characters, off, alphabetical, frequency, jump, learned, context, contextLetters,
                best, bestLearned, wpm(off), wpm(alphabetical), wpm(frequency), wpm(jump),
                wpm(learned), wpm(context), wpm(contextLetters), wpm(best), wpm(bestLearned));
    // The model's file and how much of it the runs brought into memory (Linux: the mapping's
    // resident pages).
    const QString model = u"ctx_"_s + code + u".bin"_s;
    qint64 fileBytes = 0, residentKiB = 0;
    for (const QString &dir : ContextModel::folders()) {
        if (fileBytes == 0)
            fileBytes = QFileInfo(QDir(dir).filePath(model)).size();
    }
    QFile maps(u"/proc/self/smaps"_s);
    bool inModel = false;
    const QByteArray smaps = maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
    for (const QByteArray &line : smaps.split('\n')) {
        if (!line.isEmpty() && (line[0] < 'A' || line[0] > 'Z'))
            inModel = line.trimmed().endsWith(model.toUtf8());
        else if (inModel && line.startsWith("Rss:"))
            residentKiB += line.mid(4).trimmed().split(' ').first().toLongLong();
    }
    std::printf("model_file_bytes=%lld model_resident_kib=%lld\n", fileBytes, residentKiB);
    // Look-up times over every question the runs asked.
    for (auto &[kind, times] : timings) {
        std::sort(times.begin(), times.end());
        std::printf("timing=\"%s\" calls=%zu median_us=%.2f p99_us=%.2f worst_us=%.2f\n",
                    qPrintable(kind), times.size(), times[times.size() / 2],
                    times[times.size() * 99 / 100], times.back());
    }
    return 0;
}
