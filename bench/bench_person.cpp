// Typing as a person types with one switch: the program's own window (its scripts, labels and
// timers, on a simulated clock) with the real prediction, and a person who waits for the item
// the phrase needs, presses a drawn reaction after it lights, holds the switch, now and then
// lands one item late and puts that right with what the window offers.
//   bench_person PHRASES_FILE [--settings=first,context,letters]
//   [--persons=ideal,quick,typical,slow]
//                [--period=MS] [--seed=N] [--phrases=N]
//   bench_person PHRASES_FILE --pace [--warmup=N] [--persons=quick,typical,slow] [--seed=N]
//                [--seeds=N]
// One phrase a line, typed exactly as written, each followed by a space. For each setting and
// person it prints the scan steps (spc_person), seconds and words a minute per character, and
// errors_left, the characters still wrong when the person is done (0 unless the window could
// not type the phrase). Settings: first, a first start; context, ranking 3 with the highlight
// sent to the predictions and no likeliest letters' group; letters, the same with that group.
// Learning stays paused; a file without capitals is typed with capitals at sentence starts
// turned off.
// With --pace, each person from a first start at 1000 ms types the first N phrases (4) as a
// warm-up, then the rest, once with the period fixed and once fitted to the presses, and with the
// pace fitted while holding the switch to scan and with a fast pass and a slow one back: words a
// minute of each, the share of presses that landed late with the pace fitted, the period it
// reached, and the characters left wrong; with --seeds=N, over N seeds from --seed.

#include "benchwrapper.h"
#include "person.h"
#include "pointoverlay.h"
#include "pointsweep.h"
#include "scandriver.h"
#include "settingsstore.h"
#include "spareweb.h"
#include "typist.h"

#include <QApplication>
#include <QFile>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QString option(const QStringList &args, const QString &name, const QString &otherwise)
{
    for (const QString &a : args) {
        if (a.startsWith(u"--"_s + name + u'='))
            return a.mid(name.size() + 3);
    }
    return otherwise;
}

QVariantMap settingsNamed(const QString &name, bool *known)
{
    *known = true;
    if (name == u"first"_s)
        return {};
    if (name == u"context"_s)
        return { { u"ranking"_s, 3 }, { u"padjump"_s, true }, { u"likely"_s, false } };
    if (name == u"letters"_s)
        return { { u"ranking"_s, 3 }, { u"padjump"_s, true }, { u"likely"_s, true } };
    *known = false;
    return {};
}

struct Run
{
    double wpm = 0;
    ScanDriver::Figures figures;
    int period = 0, dwell = 0;
};

// Warm-up phrases, then the measured ones; nullopt when the window did not load.
std::optional<Run> typeAll(const QVariantMap &stored, const Person::Model &model, unsigned seed,
                           const QStringList &warmup, const QStringList &phrases)
{
    Person person(model, seed);
    ScanDriver driver(stored);
    if (!driver.ready())
        return std::nullopt;
    Typist typist;
    ScanDriver::Figures f;
    for (const QString &phrase : warmup)
        driver.type(phrase, typist, person, f);
    Run run;
    for (const QString &phrase : phrases) {
        driver.type(phrase, typist, person, run.figures);
        if (qEnvironmentVariableIsSet("KELO_PACE_TRACE"))
            std::fprintf(stderr, "period %d late %d of %d\n", driver.periodNow(), run.figures.late,
                         run.figures.presses);
    }
    run.figures.errors += f.errors;
    const double seconds = double(run.figures.ms) / 1000.0
        / double(std::max<qint64>(1, run.figures.characters));
    run.wpm = 60.0 / 5.0 / seconds;
    run.period = driver.periodNow();
    run.dwell = driver.window()->property("firstdwell").toInt();
    return run;
}

// The same runs for seeds seed, seed + 1, ...: words a minute, period and dwell averaged, counts
// added, so that one seed's lucky or unlucky lapses do not decide a figure.
std::optional<Run> typeSeeds(const QVariantMap &stored, const Person::Model &model, unsigned seed,
                             int seeds, const QStringList &warmup, const QStringList &phrases)
{
    Run all;
    for (int i = 0; i < seeds; ++i) {
        const std::optional<Run> run = typeAll(stored, model, seed + unsigned(i), warmup, phrases);
        if (!run)
            return std::nullopt;
        all.wpm += run->wpm / seeds;
        all.period += run->period;
        all.dwell += run->dwell;
        all.figures.late += run->figures.late;
        all.figures.presses += run->figures.presses;
        all.figures.errors += run->figures.errors;
    }
    all.period /= seeds;
    all.dwell /= seeds;
    return all;
}

int pace(const QStringList &args, const QStringList &all, bool lower)
{
    const int warm = std::clamp(option(args, u"warmup"_s, u"4"_s).toInt(), 0, 20);
    const unsigned seed = option(args, u"seed"_s, u"1"_s).toUInt();
    const int seeds = std::clamp(option(args, u"seeds"_s, u"1"_s).toInt(), 1, 20);
    const QStringList warmup = all.mid(0, warm), phrases = all.mid(warm);
    for (const QString &name : option(args, u"persons"_s, u"quick,typical,slow"_s).split(u',')) {
        const std::optional<Person::Model> model = Person::named(name);
        if (!model || phrases.isEmpty()) {
            std::fprintf(stderr, "unknown person %s, or no phrase after the warm-up\n",
                         qPrintable(name));
            return 2;
        }
        QVariantMap stored { { u"s1v"_s, 1000 } };
        if (lower)
            stored.insert(u"autocaps"_s, false);
        QVariantMap fitted = stored, hold = stored, overscan = stored;
        fitted.insert(u"fitpace"_s, true);
        hold.insert(u"fitpace"_s, true);
        hold.insert(u"scanmode"_s, 1);
        overscan.insert(u"scanmode"_s, 2);
        // --modes= leaves out runs (printed as 0) while trying one.
        const QStringList modes
            = option(args, u"modes"_s, u"fixed,fitted,hold,overscan"_s).split(u',');
        const auto runIf = [&](const QString &mode, const QVariantMap &settings) {
            return modes.contains(mode) ? typeSeeds(settings, *model, seed, seeds, warmup, phrases)
                                        : std::optional<Run>(Run {});
        };
        const auto fixedRun = runIf(u"fixed"_s, stored), fittedRun = runIf(u"fitted"_s, fitted),
                   holdRun = runIf(u"hold"_s, hold), overRun = runIf(u"overscan"_s, overscan);
        if (!fixedRun || !fittedRun || !holdRun || !overRun) {
            std::fprintf(stderr, "the window did not load\n");
            return 1;
        }
        const ScanDriver::Figures &f = fittedRun->figures;
        std::printf("person=%s warmup=%d phrases=%lld wpm_fixed=%.2f wpm_fitted=%.2f ratio=%.2f "
                    "late_rate=%.3f period_reached_ms=%d first_dwell_pct=%d wpm_hold=%.2f "
                    "hold_period_ms=%d wpm_overscan=%.2f errors_left=%d\n",
                    qPrintable(name), warm, qint64(phrases.size()), fixedRun->wpm, fittedRun->wpm,
                    fittedRun->wpm / std::max(0.01, fixedRun->wpm),
                    double(f.late) / std::max(1, f.presses), fittedRun->period, fittedRun->dwell,
                    holdRun->wpm, holdRun->period, overRun->wpm,
                    fixedRun->figures.errors + f.errors + holdRun->figures.errors
                        + overRun->figures.errors);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

// The offscreen platform says, for each mouse view shown, that it keeps no window masks.
QtMessageHandler standard = nullptr;

void quietMasks(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(u"window masks"_s))
        return;
    if (standard)
        standard(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    // Nothing is shown: the window is only laid out, which needs no graphics driver.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QQuickStyle::setStyle(u"Basic"_s);
    standard = qInstallMessageHandler(quietMasks);
    QApplication app(argc, argv);
    app.setOrganizationName(u"Tarvo Technologies"_s);
    app.setOrganizationDomain(u"kelo.tarvo.example"_s);
    app.setApplicationName(u"Kelo#"_s);
    qmlRegisterType<BenchWrapper>("Wrapper", 8, 6, "Wrapper");
    qmlRegisterType<Spareweb>("Spareweb", 8, 6, "Spareweb");
    qmlRegisterType<PointSweep>("PointSweep", 8, 6, "PointSweep");
    qmlRegisterType<PointOverlay>("PointOverlay", 8, 6, "PointOverlay");
    qmlRegisterType<SettingsStore>("SettingsStore", 8, 6, "SettingsStore");

    const QStringList args = app.arguments().mid(1);
    QFile file(args.value(0));
    if (args.isEmpty() || args[0].startsWith(u"--"_s) || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr,
                     "usage: bench_person PHRASES_FILE [--settings=first,context,letters] "
                     "[--persons=ideal,quick,typical,slow] [--period=MS] [--seed=N] "
                     "[--phrases=N]\n");
        return 2;
    }
    QStringList phrases;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().isEmpty())
            phrases << line.trimmed() + u' ';
    }
    phrases = phrases.mid(0, option(args, u"phrases"_s, u"-1"_s).toInt());
    // A phrase count of the pace's runs counts the warm-up too.
    if (phrases.isEmpty()) {
        std::fprintf(stderr, "no phrase to type in %s\n", qPrintable(args[0]));
        return 2;
    }
    // Text without a capital is typed with the window's capitals at sentence starts turned off,
    // as its writer would have them (a window without that option ignores the key).
    const bool lower = std::none_of(phrases.begin(), phrases.end(),
                                    [](const QString &p) { return p != p.toLower(); });
    if (args.contains(u"--pace"_s))
        return pace(args, phrases, lower);
    const int period = option(args, u"period"_s, u"1000"_s).toInt();
    const unsigned seed = option(args, u"seed"_s, u"1"_s).toUInt();
    const QStringList persons
        = option(args, u"persons"_s, u"ideal,quick,typical,slow"_s).split(u',');
    for (const QString &setting :
         option(args, u"settings"_s, u"first,context,letters"_s).split(u',')) {
        bool known = false;
        QVariantMap stored = settingsNamed(setting, &known);
        stored.insert(u"s1v"_s, period);
        if (lower)
            stored.insert(u"autocaps"_s, false);
        for (const QString &name : persons) {
            const std::optional<Person::Model> model = Person::named(name);
            if (!known || !model || period < 500 || period > 2000) {
                std::fprintf(stderr,
                             "unknown setting %s or person %s, or a period outside 500 to "
                             "2000 ms\n",
                             qPrintable(setting), qPrintable(name));
                return 2;
            }
            Person person(*model, seed);
            ScanDriver driver(stored);
            if (!driver.ready()) {
                std::fprintf(stderr, "the window did not load\n");
                return 1;
            }
            Typist typist;
            ScanDriver::Figures f;
            for (const QString &phrase : phrases)
                driver.type(phrase, typist, person, f);
            const double chars = double(std::max<qint64>(1, f.characters)),
                         seconds = double(f.ms) / 1000.0 / chars;
            std::printf("setting=%s person=%s period_ms=%d characters=%lld presses=%d late=%d "
                        "spc_person=%.3f seconds_per_char=%.3f wpm_person=%.2f errors_left=%d\n",
                        qPrintable(setting), qPrintable(name), period, f.characters, f.presses,
                        f.late, double(f.steps) / chars, seconds, 60.0 / 5.0 / seconds, f.errors);
            std::fflush(stdout);
        }
    }
    return 0;
}
