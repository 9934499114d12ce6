#include "qsound.h"

#include <QAudioOutput>
#include <QMediaPlayer>

QSound::QSound() = default;

QSound::~QSound()
{
    delete player;
    delete output;
}

void QSound::play()
{
    // The player, and with it the media back end and its threads, is made on the first click:
    // with the sound off, or until the first press, Kelo# carries none of it.
    if (!player && !source.isEmpty()) {
        player = new QMediaPlayer;
        output = new QAudioOutput;
        player->setAudioOutput(output);
        player->setSource(source);
    }
    if (player)
        player->play();
}

void QSound::stop()
{
    if (player)
        player->stop();
}

void QSound::loadWave(const QUrl &url)
{
    source = url;
    if (player)
        player->setSource(url);
}
