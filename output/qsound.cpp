#include "qsound.h"

#include <QAudioOutput>
#include <QMediaPlayer>

QSound::QSound()
    : player(new QMediaPlayer)
    , output(new QAudioOutput)
{
    player->setAudioOutput(output);
}

QSound::~QSound()
{
    delete player;
    delete output;
}

void QSound::play()
{
    player->play();
}

void QSound::stop()
{
    player->stop();
}

void QSound::loadWave(const QUrl &source)
{
    player->setSource(source);
}
