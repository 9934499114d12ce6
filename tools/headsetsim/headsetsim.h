#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <map>

class QTcpSocket;

// Plays the headset's local service on 127.0.0.1: takes each client's configuration text, then
// sends it CR-ended JSON objects, a signal reading on a schedule and a blink on demand.
class HeadsetSim : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        quint16 port = 13854;
        int signal = 0; // "poorSignalLevel": 0 is a perfect signal, 200 none
        int signalEveryMs = 1000;
        int strength = 100;
        int blinkEveryMs = 0; // 0: only on Enter
        bool batch = false; // a blink shares its write with a signal reading
        bool split = false; // every write is cut in two, sent 50 ms apart
    };

    explicit HeadsetSim(const Options &options, QObject *parent = nullptr);

    bool listen();
    QString errorString() const { return server.errorString(); }

public slots:
    // Sends a blink report to every configured client; a negative strength takes the default.
    void blink(int strength = -1);

private:
    struct Client
    {
        QByteArray received;
        bool configured = false;
        QByteArrayList queue;
    };

    void accept();
    void read(QTcpSocket *socket);
    void sendSignal();
    void send(const QByteArray &bytes);
    void pump();

    Options options;
    QTcpServer server;
    QTimer signalTimer;
    QTimer blinkTimer;
    QTimer pumpTimer;
    std::map<QTcpSocket *, Client> clients;
    int blinks = 0;
};
