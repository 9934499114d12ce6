#include "qsound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>

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

// A sound effect keeps its samples decoded and its output open: the click starts within a few
// milliseconds of the call, where a media player first decodes the file.
QSoundEffect *QSound::effect(std::unique_ptr<QSoundEffect> &slot, double volume)
{
    if (!slot && !source.isEmpty() && hasOutput()) {
        slot = std::make_unique<QSoundEffect>();
        slot->setVolume(volume);
        slot->setSource(source);
    }
    return slot.get();
}

void QSound::prepare()
{
    effect(click, 1.0);
}

void QSound::play()
{
    if (QSoundEffect *click = effect(this->click, 1.0))
        click->play();
}

void QSound::cue()
{
    if (QSoundEffect *tick = effect(this->tick, 0.3))
        tick->play();
}

void QSound::stop()
{
    for (auto *slot : { &click, &tick }) {
        if (*slot)
            (*slot)->stop();
    }
}

void QSound::loadWave(const QUrl &url)
{
    source = url;
    for (auto *slot : { &click, &tick }) {
        if (*slot)
            (*slot)->setSource(url);
    }
}
