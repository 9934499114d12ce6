#pragma once

#include "headsetstream.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThread>

#include <atomic>

class QTcpSocket;
class QTimer;

// Client of the local service that reads the EEG headset. Works on a thread of its own: connects
// to 127.0.0.1, asks for JSON without raw samples, keeps the signal quality and the last blink
// strength, and raises wink() for a blink report, at most one per minBlinkGapMs. A service that
// belongs to another user is not read. While the service is away it tries again about once a
// second and its readings stay at 0.
class Headset : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 servicePort = 13854;
    // No one blinks on purpose more than four times a second.
    static constexpr int minBlinkGapMs = 250;

    explicit Headset(quint16 port = servicePort, int firstDelayMs = 60);
    // The service's port: servicePort, unless KELO_HEADSET_PORT names another (a service moved
    // off the usual one, or a test's own that no other run may reach).
    static quint16 configuredPort();
    ~Headset() override;

    // Ends the connection and the thread; the exit path calls it. Call it from the thread that
    // made the Headset; a second call does nothing.
    void stop();

    // Written on the headset thread, read from the GUI thread.
    std::atomic<int> quality { 0 };
    std::atomic<int> bstrength { 0 };
    // Per client rather than per process, so that tests can run several.
    std::atomic<bool> online { false };
    QThread workerThread;

signals:
    void wink();

public slots:
    bool isconnected();

private:
    void tryconnect();
    void onconnect();
    void ondisconnect();
    void onread();
    void onerror();

    QTcpSocket *socket;
    // Paces attempts: the next one after a failure, or the end of one that hangs.
    QTimer *retry;
    HeadsetStream stream;
    const quint16 port;
    QElapsedTimer sinceWink;
    bool warnedOwner = false;
};
