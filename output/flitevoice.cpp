#include "flitevoice.h"

#include <QAudioSink>
#include <QLibrary>
#include <QMediaDevices>

#include <flite/flite.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

using namespace Qt::StringLiterals;

namespace {

// Flite and its voices are opened on the first thing said, not at start: their tables cost
// several MiB of memory that a person who never turns the voice on should not pay.
struct Flite
{
    decltype(&flite_init) init = nullptr;
    decltype(&flite_text_to_wave) toWave = nullptr;
    decltype(&feat_set_float) setFloat = nullptr;
    decltype(&delete_wave) deleteWave = nullptr;

    // As the camera's module is loaded; the libraries stay loaded for the run. False, with why.
    bool open(QString *why)
    {
        QLibrary lib(QStringLiteral("flite"), 1);
        init = reinterpret_cast<decltype(init)>(lib.resolve("flite_init"));
        toWave = reinterpret_cast<decltype(toWave)>(lib.resolve("flite_text_to_wave"));
        setFloat = reinterpret_cast<decltype(setFloat)>(lib.resolve("feat_set_float"));
        deleteWave = reinterpret_cast<decltype(deleteWave)>(lib.resolve("delete_wave"));
        *why = lib.errorString();
        return init && toWave && setFloat && deleteWave;
    }
    // A voice of cmu_us_<name>; nullptr where it is not installed.
    static cst_voice *voice(const QString &name)
    {
        using Register = cst_voice *(*)(const char *);
        QLibrary lib(u"flite_cmu_us_"_s + name, 1);
        const auto made = reinterpret_cast<Register>(
            lib.resolve(QByteArray("register_cmu_us_") + name.toLatin1()));
        return made ? made(nullptr) : nullptr;
    }
};

} // namespace

FliteVoice::FliteVoice()
    : worker([this] { run(); })
{
}

FliteVoice::~FliteVoice()
{
    {
        std::lock_guard lock(mutex);
        quitting = true;
    }
    wake.notify_one();
    worker.join();
}

QStringList FliteVoice::names()
{
    return { QStringLiteral("kal16"), QStringLiteral("slt"), QStringLiteral("awb"),
             QStringLiteral("rms") };
}

void FliteVoice::say(const QString &text, const QString &voice, int rate, int volume)
{
    stop();
    if (text.isEmpty())
        return;
    {
        std::lock_guard lock(mutex);
        pending = Request { latest, text, voice, rate, volume };
    }
    wake.notify_one();
}

void FliteVoice::stop()
{
    ++latest; // what is being synthesised is not played
    // Closing the stream drops what it still holds; one that is done has nothing to drop.
    if (speaking() && sink)
        sink->stop();
    endsAtMs = 0;
}

// Each voice is loaded when first used; a text left behind by a newer one is dropped.
void FliteVoice::run()
{
    std::map<QString, cst_voice *> loaded;
    Flite flite;
    if (QString why; !flite.open(&why))
        std::fprintf(stderr, "Kelo#: no voice: %s\n", qPrintable(why));
    else
        flite.init();
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return quitting || pending; });
            if (quitting)
                return;
            request = *pending;
            pending.reset();
        }
        const QString name = names().contains(request.voice) ? request.voice : names().first();
        cst_voice *&voice = loaded[name];
        if (!voice && flite.init)
            voice = Flite::voice(name);
        if (!voice)
            continue;
        // The rate from -100 to 100 as a stretch of the durations, as speech-dispatcher does.
        const float rate = std::clamp(request.rate, -100, 100) / 100.0f;
        flite.setFloat(voice->features, "duration_stretch",
                       rate < 0 ? 1 - 2 * rate : 1 - rate * 100 / 175);
        cst_wave *wave = flite.toWave(request.text.toUtf8().constData(), voice);
        if (!wave)
            continue;
        // Flite's voices are mono, and lead each text with about a quarter second of silence:
        // the word is to sound as its entry lights, so that goes, but for 10 ms.
        const short *pcm = wave->samples;
        const int n = wave->num_samples, margin = wave->sample_rate / 100;
        int from = 0, to = n;
        while (from < n && std::abs(pcm[from]) <= 256)
            ++from;
        while (to > from && std::abs(pcm[to - 1]) <= 256)
            --to;
        from = std::max(0, from - margin);
        to = std::min(n, to + margin);
        QByteArray samples(reinterpret_cast<const char *>(pcm + from), qsizetype(to - from) * 2);
        const int sampleRate = wave->sample_rate;
        flite.deleteWave(wave);
        const int volume = std::clamp(request.volume, 0, 100);
        auto *sample = reinterpret_cast<qint16 *>(samples.data());
        for (qsizetype i = 0; volume < 100 && i < samples.size() / 2; ++i)
            sample[i] = qint16(sample[i] * volume / 100);
        if (request.id == latest)
            QMetaObject::invokeMethod(
                this, [=, this] { play(request.id, samples, sampleRate); }, Qt::QueuedConnection);
    }
}

void FliteVoice::play(quint64 id, const QByteArray &samples, int sampleRate)
{
    if (id != latest)
        return;
    if (!sink || format.sampleRate() != sampleRate) {
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    }
    // As for the click: a short buffer, which every utterance fills, starts at once. Asked for
    // each time: the sink keeps what the server granted, a little less at each start.
    sink->setBufferSize(format.bytesForDuration(20000));
    stream = sink->start();
    if (!stream)
        return;
    stream->write(samples);
    if (!clock.isValid())
        clock.start();
    endsAtMs = clock.elapsed() + format.durationForBytes(qint32(samples.size())) / 1000;
}
