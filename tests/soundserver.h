#pragma once

#include <QList>
#include <QProcess>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// A PulseAudio server of the test's own, in a folder of its own, with one null sink that every
// client plays into; its monitor is recorded on a thread, each 5 ms of samples with the time
// they arrived, so what kelo plays is seen on the test's clock. Everything ends with the object.
class SoundServer
{
public:
    using Clock = std::chrono::steady_clock;
    struct Span // a stretch of sound, split from the next by at least gapMs of quiet
    {
        Clock::time_point begin, end;
        int ms() const { return int((end - begin) / std::chrono::milliseconds(1)); }
    };

    explicit SoundServer(const QString &folder)
        : dir(folder)
    {
    }
    ~SoundServer();
    bool start(QString *why); // the server up and the monitor being recorded
    QString address() const { return QStringLiteral("unix:") + dir + QStringLiteral("/native"); }
    // The sounds recorded from since on; one still going ends at the last block read.
    QList<Span> sounds(Clock::time_point since, int gapMs = 80) const;

private:
    void record(void *stream);

    QString dir;
    QProcess server;
    std::thread reader;
    std::atomic<bool> stopping { false };
    mutable std::mutex mutex;
    std::vector<std::pair<Clock::time_point, bool>> blocks; // end of each block, and loud
};
