#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <memory>

class QAudioSink;
class QIODevice;

// The click heard on every accepted press, and the softer tick of the sound cue as the highlight
// steps. Nothing touches an audio device until the sound is prepared or first asked for, so with
// the sound off none is opened.
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
    // Opens the output ahead of the first press: a new stream takes a moment before it sounds.
    void prepare();
    void play();
    void cue();
    void loadWave(const QUrl &source);

private:
    QIODevice *output();

    QUrl source;
    QAudioFormat format;
    QByteArray click, tick;
    std::unique_ptr<QAudioSink> sink;
    QIODevice *stream = nullptr;
    bool opened = false;
};
