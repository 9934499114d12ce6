// Headset stream parser: objects per second on a recorded-style stream fed in socket-sized
// reads and in small pieces, bytes per second through noise, and the largest partial tail kept.
// Prints key=value lines.
//
// Usage: bench_headset [objects]   (default 300000)

#include "headsetstream.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>

namespace {

QTextStream out(stdout);

// What the service sends with raw output off: a large reading once a second, signal levels,
// blinks, now and then a binary packet.
QByteArray recordedStream(int objects, int &blinks)
{
    QRandomGenerator rng(7);
    QByteArray stream;
    blinks = 0;
    for (int i = 0; i < objects; ++i) {
        if (i % 50 == 0)
            stream += QByteArray("\xaa\xaa\x04\x80\x02\x01\x7b\x00", 8);
        switch (i % 10) {
        case 0:
            stream
                += QStringLiteral("{\"eSense\":{\"attention\":%1,\"meditation\":%2},\"eegPower\":"
                                  "{\"delta\":%3,\"theta\":%4,\"lowAlpha\":%5,\"highAlpha\":%6},"
                                  "\"poorSignalLevel\":%7}\r")
                       .arg(rng.bounded(101))
                       .arg(rng.bounded(101))
                       .arg(rng.bounded(1000000))
                       .arg(rng.bounded(100000))
                       .arg(rng.bounded(50000))
                       .arg(rng.bounded(50000))
                       .arg(rng.bounded(201))
                       .toLatin1();
            break;
        case 3:
        case 6:
        case 9:
            stream += "{\"blinkStrength\":" + QByteArray::number(rng.bounded(256)) + "}\r";
            ++blinks;
            break;
        default:
            stream += "{\"poorSignalLevel\":" + QByteArray::number(rng.bounded(201)) + "}\r";
        }
    }
    return stream;
}

struct Run
{
    qint64 taken = 0;
    qint64 blinks = 0;
    double seconds = 0;
    qsizetype peakPending = 0;
};

Run feedInPieces(const QByteArray &stream, qsizetype piece, int repeats)
{
    Run run;
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < repeats; ++r) {
        HeadsetStream parser;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            const auto readings = parser.feed(
                QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at)));
            run.taken += readings.size();
            for (const auto &reading : readings)
                run.blinks += reading.blinkStrength ? 1 : 0;
            run.peakPending = std::max(run.peakPending, parser.pending());
        }
    }
    run.seconds = timer.nsecsElapsed() / 1e9;
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int objects = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 300000;
    int blinks = 0;
    const QByteArray stream = recordedStream(objects, blinks);
    out << "stream_objects=" << objects << "\nstream_bytes=" << stream.size() << Qt::endl;

    for (const qsizetype piece : { qsizetype(4096), qsizetype(61) }) {
        const Run run = feedInPieces(stream, piece, 3);
        const QString name = QStringLiteral("pieces_%1_").arg(piece);
        out << name << "objects_per_second=" << qint64(run.taken / run.seconds) << '\n'
            << name << "mbytes_per_second="
            << QString::number(3 * stream.size() / run.seconds / 1e6, 'f', 1) << '\n'
            << name << "peak_pending_bytes=" << run.peakPending << '\n'
            << name << "blinks_lost=" << 3 * qint64(blinks) - run.blinks << Qt::endl;
    }

    // Noise the service never sends: binary bytes, and braces without end.
    QRandomGenerator rng(11);
    QByteArray binary(8 << 20, Qt::Uninitialized);
    for (char &c : binary)
        c = char(rng.bounded(256));
    const QByteArray braces = QByteArray(8 << 20, '{');
    for (const auto &[name, noise] :
         { std::pair { "binary", binary }, std::pair { "braces", braces } }) {
        const Run run = feedInPieces(noise, 4096, 1);
        out << "noise_" << name
            << "_mbytes_per_second=" << QString::number(noise.size() / run.seconds / 1e6, 'f', 1)
            << '\n'
            << "noise_" << name << "_peak_pending_bytes=" << run.peakPending << Qt::endl;
    }
    return 0;
}
