#pragma once

#include <QObject>
#include <QUrl>

class QAudioOutput;
class QMediaPlayer;

// The click heard on every accepted press.
class QSound : public QObject
{
    Q_OBJECT
public:
    QSound();
    ~QSound() override;

public slots:
    void play();
    void stop();
    void loadWave(const QUrl &source);

private:
    QUrl source;
    bool starting = false;
    QMediaPlayer *player = nullptr;
    QAudioOutput *output = nullptr;
};
