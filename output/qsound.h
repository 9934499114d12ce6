#pragma once

#include <QObject>
#include <QUrl>

#include <memory>

class QSoundEffect;

// The click heard on every accepted press, and the softer tick of the sound cue as the highlight
// steps. Nothing touches an audio device until the first sound is asked for, so with the sound
// off none is opened.
class QSound : public QObject
{
    Q_OBJECT
public:
    QSound();
    ~QSound() override;

    // Whether the system has an audio output. Asked once; without one, a single line on stderr
    // says that Kelo# is silent, in place of the sound system's own warnings.
    static bool hasOutput();

public slots:
    // Loads the click ahead of the first press, which then sounds at once.
    void prepare();
    void play();
    void cue();
    void stop();
    void loadWave(const QUrl &source);

private:
    QSoundEffect *effect(std::unique_ptr<QSoundEffect> &slot, double volume);

    QUrl source;
    std::unique_ptr<QSoundEffect> click;
    std::unique_ptr<QSoundEffect> tick;
};
