#pragma once

#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QAudioSink;
class QIODevice;

// Flite's English voices, synthesised on a thread of their own and played through one audio
// stream of ours. Qt 6.4's Flite engine crashes within seconds when utterances are cut short, as
// auditory scanning does at every step; here cutting short only drops the stream's queue.
class FliteVoice : public QObject
{
    Q_OBJECT
public:
    FliteVoice();
    ~FliteVoice() override;

    static QStringList names();
    // Says text in place of what is being said; an empty text is silence.
    void say(const QString &text, const QString &voice, int rate, int volume);
    void stop();
    bool speaking() const { return clock.isValid() && clock.elapsed() < endsAtMs; }

private:
    struct Request
    {
        quint64 id;
        QString text, voice;
        int rate, volume;
    };
    void run();
    void play(quint64 id, const QByteArray &samples, int sampleRate);

    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;
    bool quitting = false;
    std::atomic<quint64> latest { 0 };
    std::thread worker;

    QAudioFormat format;
    std::unique_ptr<QAudioSink> sink;
    QIODevice *stream = nullptr;
    QElapsedTimer clock;
    qint64 endsAtMs = 0;
};
