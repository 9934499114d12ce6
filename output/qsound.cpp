#include "qsound.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QFile>
#include <QMediaDevices>

#include <cstdio>

namespace {

QtMessageHandler previousHandler = nullptr;

// Without a sound server the audio system complains as soon as anything lists devices (the
// camera list too) and again for each sound; one line of our own says it, when a sound is wanted.
void quietAudio(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("PulseAudioService: pa_context_connect() failed"))
        || message == QLatin1String("No audio device detected"))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

QSound::QSound()
{
    static const QtMessageHandler installed = previousHandler = qInstallMessageHandler(quietAudio);
    Q_UNUSED(installed);
}

QSound::~QSound() = default;

bool QSound::hasOutput()
{
    static const bool present = [] {
        const bool found = !QMediaDevices::defaultAudioOutput().isNull();
        if (!found)
            std::fputs("Kelo#: no sound output (no sound server?): no click, no voice\n", stderr);
        return found;
    }();
    return present;
}

namespace {

// The samples of a 16-bit PCM WAVE file and their format; nothing for anything else.
QByteArray pcmOf(const QUrl &url, QAudioFormat *format)
{
    QFile file(url.scheme() == QLatin1String("qrc") ? u':' + url.path() : url.toLocalFile());
    const QByteArray wave = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!wave.startsWith("RIFF") || wave.mid(8, 4) != "WAVE")
        return {};
    const auto le = [&](qsizetype at, int bytes) {
        quint32 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | quint8(wave.at(at + i));
        return v;
    };
    bool pcm16 = false;
    for (qsizetype at = 12; at + 8 <= wave.size();) {
        const QByteArray id = wave.mid(at, 4);
        const qsizetype size = le(at + 4, 4);
        if (id == "fmt " && size >= 16 && at + 24 <= wave.size()) {
            pcm16 = le(at + 8, 2) == 1 && le(at + 22, 2) == 16;
            format->setChannelCount(int(le(at + 10, 2)));
            format->setSampleRate(int(le(at + 12, 4)));
            format->setSampleFormat(QAudioFormat::Int16);
        } else if (id == "data" && pcm16) {
            return wave.mid(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

} // namespace

// One stream stays open while the sound is on and each sound is written into it: a press is
// heard within a few milliseconds, where a media player or Qt 6.4's sound effect first sets up
// a stream (and the latter lets repeated plays pass silently).
QIODevice *QSound::output()
{
    if (!opened && !source.isEmpty() && hasOutput()) {
        opened = true;
        click = pcmOf(source, &format);
        if (click.isEmpty()) {
            std::fprintf(stderr, "Kelo#: %s is no 16-bit PCM sound: no click\n",
                         qPrintable(source.toString()));
            return nullptr;
        }
        tick = click;
        auto *samples = reinterpret_cast<qint16 *>(tick.data());
        for (qsizetype i = 0; i < tick.size() / 2; ++i)
            samples[i] = qint16(samples[i] * 3 / 10);
        sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
#ifndef Q_OS_WIN
        // PulseAudio starts a stream that ran dry again only once a buffer's worth is queued:
        // with its default buffer a click waited, unheard, for the next press. 20 ms is less
        // than any sound here. (Windows drops what does not fit its buffer: it keeps its own.)
        sink->setBufferSize(format.bytesForDuration(20000));
#endif
        stream = sink->start();
        if (stream)
            stream->write(QByteArray(format.bytesForDuration(100000), 0));
    }
    return stream;
}

void QSound::prepare()
{
    output();
}

void QSound::play()
{
    if (QIODevice *out = output())
        out->write(click);
}

void QSound::cue()
{
    if (QIODevice *out = output())
        out->write(tick);
}

void QSound::loadWave(const QUrl &url)
{
    source = url;
}
