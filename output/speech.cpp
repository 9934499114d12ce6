#include "speech.h"

#include "qsound.h"
#ifdef KELO_FLITE
#include "flitevoice.h"
#endif

#include <QLocale>
#include <QTextToSpeech>
#include <QVoice>

#include <algorithm>
#include <cstdio>

Speech::Speech() = default;

Speech::~Speech() = default;

// Flite on Linux is ours (see FliteVoice) unless speech-dispatcher, with more languages and its
// own audio, is there to go through Qt.
bool Speech::useFlite()
{
#ifdef KELO_FLITE
    if (!flite && !failed && QSound::hasOutput()
        && !QTextToSpeech::availableEngines().contains(QLatin1String("speechd")))
        flite = std::make_unique<FliteVoice>();
    return flite != nullptr;
#else
    return false;
#endif
}

void Speech::fail(const QString &why)
{
    if (!failed)
        std::fprintf(stderr, "Kelo#: nothing will be spoken: %s\n", qPrintable(why));
    failed = true;
    tts.reset();
}

QTextToSpeech *Speech::engine()
{
    if (tts || failed)
        return tts.get();
    // No output: the sound side has already said so, once.
    if (!QSound::hasOutput()) {
        failed = true;
        return nullptr;
    }
    if (QTextToSpeech::availableEngines().isEmpty()) {
        fail(QStringLiteral("no speech engine is installed"));
        return nullptr;
    }
    tts = std::make_unique<QTextToSpeech>();
    if (tts->state() == QTextToSpeech::Error) {
        fail(tts->errorString());
        return nullptr;
    }
    if (tts->availableVoices().isEmpty() && tts->availableLocales().isEmpty()) {
        fail(QStringLiteral("the speech engine has no voice"));
        return nullptr;
    }
    apply();
    return tts.get();
}

void Speech::apply()
{
    if (!tts)
        return;
    // The labels' language where the engine has it; otherwise its own default stays.
    const QList<QLocale> locales = tts->availableLocales();
    const auto match = std::find_if(locales.begin(), locales.end(), [this](const QLocale &l) {
        return l.name().left(2) == language;
    });
    if (match != locales.end() && tts->locale() != *match)
        tts->setLocale(*match);
    const QList<QVoice> all = tts->availableVoices();
    const auto voice = std::find_if(all.begin(), all.end(),
                                    [this](const QVoice &v) { return v.name() == voiceName; });
    if (voice != all.end() && !(tts->voice() == *voice))
        tts->setVoice(*voice);
    tts->setRate(std::clamp(rate, -100, 100) / 100.0);
    tts->setVolume(std::clamp(volume, 0, 100) / 100.0);
}

void Speech::say(const QString &text)
{
#ifdef KELO_FLITE
    if (useFlite())
        return flite->say(text.trimmed(), voiceName, rate, volume);
#endif
    // An engine left in error (its audio stream broke off) is started again, a few times a run.
    if (tts && tts->state() == QTextToSpeech::Error) {
        const QString why = tts->errorString();
        tts.reset();
        if (++restarts > 3)
            fail(why.isEmpty() ? QStringLiteral("the speech engine keeps failing") : why);
    }
    QTextToSpeech *voice = engine();
    if (!voice)
        return;
    if (voice->state() == QTextToSpeech::Speaking)
        voice->stop();
    if (!text.trimmed().isEmpty())
        voice->say(text);
}

void Speech::stop()
{
#ifdef KELO_FLITE
    if (flite)
        flite->stop();
#endif
    if (tts && tts->state() == QTextToSpeech::Speaking)
        tts->stop();
}

void Speech::setLanguage(const QString &code)
{
    language = code.left(2);
    apply();
}

QStringList Speech::voices()
{
    QStringList names;
#ifdef KELO_FLITE
    if (useFlite())
        return FliteVoice::names();
#endif
    if (QTextToSpeech *voice = engine()) {
        for (const QVoice &v : voice->availableVoices())
            names << v.name();
    }
    return names;
}

void Speech::setVoice(const QString &name)
{
    voiceName = name;
    apply();
}

void Speech::setRate(int r)
{
    rate = r;
    apply();
}

void Speech::setVolume(int v)
{
    volume = v;
    apply();
}

bool Speech::speaking() const
{
#ifdef KELO_FLITE
    if (flite)
        return flite->speaking();
#endif
    return tts && tts->state() == QTextToSpeech::Speaking;
}
