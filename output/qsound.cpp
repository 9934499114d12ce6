#include "qsound.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QMetaObject>

#include <utility>

QSound::QSound() = default;

QSound::~QSound()
{
    delete player;
    delete output;
}

void QSound::play()
{
    if (player) {
        player->play();
        return;
    }
    // The player, and with it the media back end and its threads, is made for the first click:
    // with the sound off, or until the first press, Kelo# carries none of it. Making it takes a
    // tenth of a second, so it waits until the press that asked for it has been acted on.
    if (source.isEmpty() || std::exchange(starting, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            player = new QMediaPlayer;
            output = new QAudioOutput;
            player->setAudioOutput(output);
            player->setSource(source);
            player->play();
        },
        Qt::QueuedConnection);
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
