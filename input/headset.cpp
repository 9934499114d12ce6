#include "headset.h"

#include "localpeer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

// Raw samples off, JSON on. The keys are unquoted: this is what the service expects.
const QByteArray configuration = QByteArrayLiteral("{enableRawOutput: false,format: Json}");
constexpr int retryMs = 1000;
// A loopback connection is made or refused at once; one still pending this long starts over.
constexpr int attemptMs = 5000;

} // namespace

quint16 Headset::configuredPort()
{
    const QByteArray name = qgetenv("KELO_HEADSET_PORT");
    if (name.isEmpty())
        return servicePort;
    bool ok = false;
    const uint port = name.toUInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        return quint16(port);
    std::fprintf(stderr, "Kelo#: KELO_HEADSET_PORT is no port (1 to 65535); the headset is read on %u\n",
                 unsigned(servicePort));
    return servicePort;
}

Headset::Headset(quint16 port, int firstDelayMs)
    : socket(new QTcpSocket(this))
    , retry(new QTimer(this))
    , port(port)
{
    retry->setSingleShot(true);
    // What the socket holds unread stays bounded whatever the service sends.
    socket->setReadBufferSize(HeadsetStream::maxPending);
    connect(socket, &QTcpSocket::connected, this, &Headset::onconnect);
    connect(socket, &QTcpSocket::disconnected, this, &Headset::ondisconnect);
    connect(socket, &QTcpSocket::readyRead, this, &Headset::onread);
    connect(socket, &QTcpSocket::errorOccurred, this, &Headset::onerror);
    connect(retry, &QTimer::timeout, this, &Headset::tryconnect);
    moveToThread(&workerThread);
    workerThread.start(QThread::InheritPriority);
    // A timer is started on the thread it belongs to.
    QMetaObject::invokeMethod(
        this, [this, firstDelayMs] { retry->start(firstDelayMs); }, Qt::QueuedConnection);
}

Headset::~Headset()
{
    stop();
}

void Headset::stop()
{
    if (!workerThread.isRunning())
        return;
    Q_ASSERT(QThread::currentThread() != &workerThread);
    QThread *home = QThread::currentThread();
    QMetaObject::invokeMethod(
        this,
        [this, home] {
            socket->abort();
            retry->stop();
            online = false;
            quality = 0;
            bstrength = 0;
            // Hand the client and its socket back, so they end on the caller's thread.
            moveToThread(home);
            workerThread.quit();
        },
        Qt::QueuedConnection);
    // Nothing on the headset thread blocks, so this returns as soon as the call above has run.
    workerThread.wait();
}

bool Headset::isconnected()
{
    return online;
}

void Headset::tryconnect()
{
    if (socket->state() == QAbstractSocket::ConnectedState)
        return;
    socket->abort();
    socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    retry->start(attemptMs);
}

void Headset::onconnect()
{
    retry->stop();
    // Any local program may listen on the port first; only one of this user's or the system's
    // may press the switch.
    if (!LocalPeer::trusted(port, socket->localPort())) {
        if (!warnedOwner)
            std::fprintf(stderr,
                         "Kelo#: the headset service on port %u belongs to another user; "
                         "it is not read\n",
                         unsigned(port));
        warnedOwner = true;
        socket->abort();
        retry->start(retryMs);
        return;
    }
    stream.reset();
    socket->write(configuration);
    online = true;
}

void Headset::ondisconnect()
{
    online = false;
    // The bars show that there is no signal rather than the last one.
    quality = 0;
    bstrength = 0;
    stream.reset();
    retry->start(retryMs);
}

void Headset::onerror()
{
    // Refused or unreachable; a lost connection comes through ondisconnect.
    if (socket->state() != QAbstractSocket::ConnectedState)
        retry->start(retryMs);
}

void Headset::onread()
{
    const QList<HeadsetStream::Reading> readings = stream.feed(socket->readAll());
    for (const HeadsetStream::Reading &reading : readings) {
        if (reading.poorSignalLevel)
            quality
                = int(std::clamp<qint64>(200 - qint64(*reading.poorSignalLevel), INT_MIN, INT_MAX));
        if (reading.blinkStrength) {
            bstrength = *reading.blinkStrength;
            // Faster than anyone blinks: a fault or a flood, counted at a person's pace.
            if (!sinceWink.isValid() || sinceWink.elapsed() >= minBlinkGapMs) {
                sinceWink.start();
                emit wink();
            }
        }
    }
}
