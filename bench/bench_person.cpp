// Typing as a person types with one switch: the program's own window (its scripts, labels and
// timers, on a simulated clock) with the real prediction, and a person who waits for the item
// the phrase needs, presses a drawn reaction after it lights, holds the switch, now and then
// lands one item late and puts that right with what the window offers.
//   bench_person PHRASES_FILE [--settings=first,context,letters]
//   [--persons=ideal,quick,typical,slow]
//                [--period=MS] [--seed=N] [--phrases=N]
// One phrase a line, typed exactly as written, each followed by a space. For each setting and
// person it prints the scan steps (spc_person), seconds and words a minute per character, and
// errors_left, the characters still wrong when the person is done (0 unless the window could
// not type the phrase). Settings: first, a first start; context, ranking 3 with the highlight
// sent to the predictions; letters, the same with the likeliest letters' group. Learning stays
// paused; a file without capitals is typed with capitals at sentence starts turned off.

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
        return { { u"ranking"_s, 3 }, { u"padjump"_s, true } };
    if (name == u"letters"_s)
        return { { u"ranking"_s, 3 }, { u"padjump"_s, true }, { u"likely"_s, true } };
    *known = false;
    return {};
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
    if (phrases.isEmpty()) {
        std::fprintf(stderr, "no phrase to type in %s\n", qPrintable(args[0]));
        return 2;
    }
    // Text without a capital is typed with the window's capitals at sentence starts turned off,
    // as its writer would have them (a window without that option ignores the key).
    const bool lower = std::none_of(phrases.begin(), phrases.end(),
                                    [](const QString &p) { return p != p.toLower(); });
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
