// headsetsim: a stand-in for the EEG headset's local service, for trying the headset switch
// without a headset. Enter sends a blink (a number typed first sets its strength), q quits.

#include "headsetsim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <iostream>
#include <string>
#include <thread>

namespace {

// Reads an option as an integer in [low, high]; says what is wrong otherwise.
bool number(const QCommandLineParser &parser, const QString &name, int low, int high, int &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    if (!ok || n < low || n > high) {
        QTextStream(stderr) << "headsetsim: --" << name << " takes a whole number from " << low
                            << " to " << high << Qt::endl;
        return false;
    }
    value = n;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("headsetsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the EEG headset's local service on 127.0.0.1: after a client's configuration "
        "text it sends a CR-ended {\"poorSignalLevel\":N} reading on a schedule and a "
        "{\"blinkStrength\":N} report on each Enter (a number typed first sets the strength) "
        "or on a schedule. Type q and Enter to quit."));
    parser.addHelpOption();
    const auto option = [&](const char *name, const char *what, const char *value) {
        parser.addOption({ QLatin1String(name), QLatin1String(what), QLatin1String(value) });
    };
    option("port", "TCP port (default 13854; 0: a free one, printed).", "N");
    option("signal", "poorSignalLevel sent, 0 (perfect) to 200 (none); default 0.", "N");
    option("signal-every", "Milliseconds between signal readings, 0 for none; default 1000.", "MS");
    option("strength", "blinkStrength sent, 0 to 255; default 100.", "N");
    option("blink-every", "Also blink every MS milliseconds; default only on Enter.", "MS");
    parser.addOption({ QStringLiteral("batch"),
                       QStringLiteral("Send each blink in one write with a signal reading.") });
    parser.addOption(
        { QStringLiteral("split"), QStringLiteral("Cut every write in two, sent 50 ms apart.") });
    parser.process(app);

    HeadsetSim::Options options;
    int port = options.port;
    if (!number(parser, QStringLiteral("port"), 0, 65535, port)
        || !number(parser, QStringLiteral("signal"), 0, 200, options.signal)
        || !number(parser, QStringLiteral("signal-every"), 0, 3600000, options.signalEveryMs)
        || !number(parser, QStringLiteral("strength"), 0, 255, options.strength)
        || !number(parser, QStringLiteral("blink-every"), 0, 3600000, options.blinkEveryMs))
        return 2;
    options.port = quint16(port);
    options.batch = parser.isSet(QStringLiteral("batch"));
    options.split = parser.isSet(QStringLiteral("split"));

    HeadsetSim sim(options);
    if (!sim.listen()) {
        QTextStream(stderr) << "headsetsim: cannot listen on 127.0.0.1:" << options.port << ": "
                            << sim.errorString() << Qt::endl;
        return 1;
    }

    // Console input blocks, and QSocketNotifier cannot watch it on Windows: a thread reads it.
    std::thread([&sim, &app] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line == "q") {
                QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
                return;
            }
            bool ok = false;
            const int strength = QString::fromStdString(line).trimmed().toInt(&ok);
            QMetaObject::invokeMethod(
                &sim, [&sim, strength, ok] { sim.blink(ok ? strength : -1); },
                Qt::QueuedConnection);
        }
    }).detach();

    return app.exec();
}
