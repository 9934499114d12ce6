#include "soundserver.h"

#include <QFile>
#include <QThread>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr int rate = 16000, blockSamples = rate / 200; // 5 ms
constexpr double loud = 300; // RMS of 16-bit samples: far above silence, below any speech
} // namespace

SoundServer::~SoundServer()
{
    stopping = true;
    if (reader.joinable())
        reader.join();
    server.kill();
    server.waitForFinished(3000);
}

bool SoundServer::start(QString *why)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, dir);
    env.insert(u"XDG_RUNTIME_DIR"_s, dir);
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.setStandardOutputFile(dir + u"/pulse.log"_s);
    // No daemon, no session bus, no idle exit or suspend: a server that lives as long as this.
    // A sink that renders up to its latency (2 s when no stream asks for less) ahead and then
    // rewinds to mix a new stream in would give its monitor sound early, late or not at all:
    // without rewinds, what the monitor records is what was mixed when.
    server.start(u"pulseaudio"_s,
                 { u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s, u"--disable-shm=yes"_s,
                   u"--use-pid-file=no"_s, u"-L"_s, u"module-null-sink sink_name=kelo norewinds=1"_s,
                   u"-L"_s, u"module-native-protocol-unix auth-anonymous=1 socket=%1/native"_s.arg(dir) });
    pa_simple *stream = nullptr;
    const pa_sample_spec format { PA_SAMPLE_S16LE, rate, 1 };
    const pa_buffer_attr attr { uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1),
                                uint32_t(blockSamples * 2) };
    int error = 0;
    for (int i = 0; i < 100 && !stream && server.state() != QProcess::NotRunning; ++i) {
        QThread::msleep(50);
        stream = pa_simple_new(address().toUtf8().constData(), "kelo test", PA_STREAM_RECORD,
                               "kelo.monitor", "monitor", &format, nullptr, &attr, &error);
    }
    if (!stream) {
        QFile log(dir + u"/pulse.log"_s);
        log.open(QIODevice::ReadOnly);
        *why = u"no PulseAudio server with a null sink (pulseaudio, Debian package pulseaudio): "_s
            + QString::fromUtf8(pa_strerror(error)) + u"\n"_s + QString::fromUtf8(log.readAll());
        return false;
    }
    reader = std::thread([this, stream] { record(stream); });
    return true;
}

void SoundServer::record(void *opaque)
{
    auto *stream = static_cast<pa_simple *>(opaque);
    qint16 samples[blockSamples];
    while (!stopping && pa_simple_read(stream, samples, sizeof samples, nullptr) >= 0) {
        double sum = 0;
        for (qint16 s : samples)
            sum += double(s) * s;
        std::lock_guard lock(mutex);
        blocks.emplace_back(Clock::now(), std::sqrt(sum / blockSamples) > loud);
    }
    pa_simple_free(stream);
}

QList<SoundServer::Span> SoundServer::sounds(Clock::time_point since, int gapMs) const
{
    std::lock_guard lock(mutex);
    const auto block = std::chrono::milliseconds(1000 * blockSamples / rate);
    QList<Span> spans;
    for (const auto &[end, isLoud] : blocks) {
        if (!isLoud || end - block < since)
            continue;
        if (!spans.isEmpty() && end - block - spans.last().end < std::chrono::milliseconds(gapMs))
            spans.last().end = end;
        else
            spans.append({ end - block, end });
    }
    return spans;
}
