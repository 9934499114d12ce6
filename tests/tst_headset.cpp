// The headset client against a real service on 127.0.0.1; its parser's bound on an endless object.

#include "headset.h"
#include "headsetstream.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <atomic>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray configuration = "{enableRawOutput: false,format: Json}";

// A service on a free port and its client, whose winks are counted on its thread; each send() on
// its own, so that the client can read it on its own.
struct Link
{
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    QByteArray received;
    std::atomic<int> winks { 0 };
    Headset headset { (server.listen(QHostAddress::LocalHost), server.serverPort()), 0 };
    QMetaObject::Connection counting
        = QObject::connect(&headset, &Headset::wink, &headset, [this] { ++winks; });
    // True once the client has connected, sent its configuration and counts as connected.
    bool accept()
    {
        peer = server.waitForNewConnection(5000) ? server.nextPendingConnection() : nullptr;
        received.clear();
        QObject::connect(peer, &QTcpSocket::readyRead, peer,
                         [this] { received += peer->readAll(); });
        return QTest::qWaitFor([this] { return received.size() >= configuration.size(); })
            && QTest::qWaitFor([this] { return headset.isconnected(); });
    }
    void send(const QByteArray &bytes)
    {
        peer->write(bytes);
        peer->waitForBytesWritten(5000);
        QTest::qWait(1);
    }
    QList<int> state() const { return { headset.quality, headset.bstrength, winks }; }
};

} // namespace

class TestHeadset : public QObject
{
    Q_OBJECT

private slots:
    // Writes parted by |, ' for ", B: and S: for the keys; expected: quality, strength, winks.
    void readings_data()
    {
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QList<int>>("expected");
        const auto row = [](const char *name, QByteArray writes, QList<int> expected) {
            writes.replace("B:", "'blinkStrength':").replace("S:", "'poorSignalLevel':");
            QTest::newRow(name) << writes.replace('\'', '"').split('|') << expected;
        };
        row("signal 0, LF, CR LF", "{S:26}\n|{S:0}\r\n", { 200, 0, 0 });
        row("null", "{B:9}\r|{'a':5}\r|{B:null}\r|{ B: null }\r|{S:50}\r", { 150, 9, 1 });
        row("fraction", "{B:9}\r{S:2.5,B:2.5}\r", { 200, 0, 1 });
        row("two in one write", "{S:26}\r{B:40}\r", { 174, 40, 1 });
        row("split, no terminator", "{'blinkStr|ength':40,'poorSig|nalLevel':1}", { 199, 40, 1 });
        row("binary preamble", "\xaa\xaa\x20\x02\x83\x18{'\x10\xaa\x7b{B:40}\r", { 0, 40, 1 });
        row("garbage", "noise {'oops':[1,\r}}{B:5,}\r{B:07}{B:6}\r|\x01{{B:7}\r}", { 0, 7, 1 });
        row("a flood, at a person's pace", QByteArray("{B:3}\r").repeated(5000), { 0, 3, 1 });
        row("nested, braces and quotes in text",
            "{'n':'a \\'}{\\' \\u00e9','e':{'a':53},'m':[1,2],B:40}\n", { 0, 40, 1 });
    }
    // Each on a fresh connection; then one more blink is read, and nothing that came before it.
    // Blinks closer than a person's are one.
    void readings()
    {
        QFETCH(QByteArrayList, writes);
        QFETCH(QList<int>, expected);
        Link link;
        QVERIFY(link.accept());
        for (const QByteArray &bytes : writes)
            link.send(bytes);
        QTRY_COMPARE(link.state(), expected);
        QTest::qWait(Headset::minBlinkGapMs);
        link.send("\r{\"blinkStrength\":222}\r");
        QTRY_COMPARE(link.state(), QList<int>({ expected[0], 222, expected[2] + 1 }));
    }

    // Away: no signal shown, retried without spinning; back: configured again and counting.
    void serviceGoesAndComesBack()
    {
        Link link;
        QVERIFY(link.accept());
        const quint16 port = link.server.serverPort();
        link.send("{\"poorSignalLevel\":26,\"blinkStrength\":80}\r");
        QTRY_COMPARE(link.state(), QList<int>({ 174, 80, 1 }));
        link.peer->close();
        link.server.close();
        QTRY_VERIFY(!link.headset.isconnected());
        QCOMPARE(link.state(), QList<int>({ 0, 0, 1 }));
        const std::clock_t before = std::clock();
        QTest::qWait(3000);
        QVERIFY(std::clock() - before < CLOCKS_PER_SEC / 3);
        QVERIFY(link.server.listen(QHostAddress::LocalHost, port) && link.accept());
        link.send("{\"blinkStrength\":81}\r");
        QTRY_COMPARE(link.winks.load(), 2);
        link.headset.stop();
        QVERIFY(link.headset.workerThread.isFinished() && !link.headset.isconnected());
        QTRY_COMPARE(link.peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(link.received, configuration); // sent again on the new connection, and only it
    }

    // A service read only when it is this user's or root's: one of nobody's is never read.
    void serviceOwner_data()
    {
        QTest::addColumn<QStringList>("as");
        QTest::addColumn<int>("winks");
        QTest::newRow("own") << QStringList() << 1;
        if (geteuid() == 0) // only root can start a service as another user
            QTest::newRow("nobody's")
                << QStringList({ "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups" })
                << 0;
    }
    void serviceOwner()
    {
        QFETCH(QStringList, as);
        QFETCH(int, winks);
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QProcess service;
        service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        as << u"/usr/bin/python3"_s << u"-c"_s
           << u"import socket,time\n"
              "s=socket.socket(); s.bind(('127.0.0.1',%1)); s.listen(); print(flush=True)\n"
              "c,_=s.accept(); c.sendall(b'{\"blinkStrength\":50}\\r'); time.sleep(5)"_s.arg(port);
        service.start(as.takeFirst(), as);
        QVERIFY(service.waitForReadyRead(5000));
        Headset headset(port, 0);
        std::atomic<int> seen { 0 };
        QObject::connect(&headset, &Headset::wink, &headset, [&] { ++seen; });
        QTest::qWait(1500);
        QCOMPARE(seen.load(), winks);
        QCOMPARE(headset.isconnected(), winks > 0);
        headset.stop();
        service.kill();
        service.waitForFinished();
    }

    // An object that never ends holds at most maxPending bytes; the line after it is read.
    void endlessObjectBounded()
    {
        HeadsetStream parser;
        QVERIFY(parser.feed("{\"a\":\"").isEmpty());
        for (int i = 0; i < 500; ++i) {
            QVERIFY(parser.feed(QByteArray(600, 'x')).isEmpty());
            QVERIFY(parser.pending() <= HeadsetStream::maxPending);
        }
        const QList<HeadsetStream::Reading> taken = parser.feed("\r{\"blinkStrength\":5}\r");
        QVERIFY(taken.size() == 1 && taken[0].blinkStrength == 5);
    }
};

QTEST_MAIN(TestHeadset)
#include "tst_headset.moc"
