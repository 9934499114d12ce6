#include "headsetsim.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTextStream>

namespace {

const QByteArray expectedConfiguration = "{enableRawOutput: false,format: Json}";

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QByteArray signalObject(int level)
{
    // What the service sends once a second; the client reads only poorSignalLevel.
    auto *random = QRandomGenerator::global();
    return QStringLiteral("{\"eSense\":{\"attention\":%1,\"meditation\":%2},"
                          "\"eegPower\":{\"delta\":%3,\"theta\":%4,\"lowAlpha\":%5},"
                          "\"poorSignalLevel\":%6}\r")
        .arg(random->bounded(101))
        .arg(random->bounded(101))
        .arg(random->bounded(1000000))
        .arg(random->bounded(100000))
        .arg(random->bounded(50000))
        .arg(level)
        .toLatin1();
}

} // namespace

HeadsetSim::HeadsetSim(const Options &options, QObject *parent)
    : QObject(parent)
    , options(options)
{
    connect(&server, &QTcpServer::newConnection, this, &HeadsetSim::accept);
    connect(&signalTimer, &QTimer::timeout, this, &HeadsetSim::sendSignal);
    connect(&blinkTimer, &QTimer::timeout, this, [this] { blink(); });
    connect(&pumpTimer, &QTimer::timeout, this, &HeadsetSim::pump);
    pumpTimer.setInterval(50);
}

bool HeadsetSim::listen()
{
    if (!server.listen(QHostAddress::LocalHost, options.port))
        return false;
    if (options.signalEveryMs > 0)
        signalTimer.start(options.signalEveryMs);
    if (options.blinkEveryMs > 0)
        blinkTimer.start(options.blinkEveryMs);
    out() << "headsetsim: listening on 127.0.0.1:" << server.serverPort() << Qt::endl;
    return true;
}

void HeadsetSim::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        // Each write leaves at once, so a split object really arrives in pieces.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        clients[socket] = Client();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            clients.erase(socket);
            socket->deleteLater();
            out() << "headsetsim: client left" << Qt::endl;
        });
        out() << "headsetsim: client connected" << Qt::endl;
    }
}

void HeadsetSim::read(QTcpSocket *socket)
{
    Client &client = clients[socket];
    client.received += socket->readAll();
    if (!client.configured && client.received.size() >= expectedConfiguration.size()) {
        const QByteArray text = client.received.left(expectedConfiguration.size());
        client.received.remove(0, text.size());
        client.configured = true;
        if (text == expectedConfiguration)
            out() << "headsetsim: configuration received, sending" << Qt::endl;
        else
            out() << "headsetsim: unexpected configuration \"" << text << "\", sending anyway"
                  << Qt::endl;
    }
    if (client.configured && !client.received.isEmpty()) {
        out() << "headsetsim: " << client.received.size()
              << " unexpected bytes after the configuration" << Qt::endl;
        client.received.clear();
    }
}

void HeadsetSim::sendSignal()
{
    send(signalObject(options.signal));
}

void HeadsetSim::blink(int strength)
{
    if (strength < 0)
        strength = options.strength;
    QByteArray bytes = "{\"blinkStrength\":" + QByteArray::number(strength) + "}\r";
    if (options.batch)
        bytes.prepend(signalObject(options.signal));
    send(bytes);
    out() << "headsetsim: blink " << ++blinks << ", strength " << strength << Qt::endl;
}

void HeadsetSim::send(const QByteArray &bytes)
{
    for (auto &[socket, client] : clients) {
        if (!client.configured)
            continue;
        if (options.split) {
            const qsizetype half = bytes.size() / 2;
            client.queue << bytes.left(half) << bytes.mid(half);
        } else {
            client.queue << bytes;
        }
    }
    pump();
    if (options.split)
        pumpTimer.start();
}

// One piece per client per call: the pieces of a split object leave in separate writes.
void HeadsetSim::pump()
{
    bool more = false;
    for (auto &[socket, client] : clients) {
        if (client.queue.isEmpty())
            continue;
        socket->write(client.queue.takeFirst());
        socket->flush();
        more = more || !client.queue.isEmpty();
    }
    if (!more)
        pumpTimer.stop();
}
