// The headset client against a real service on 127.0.0.1; its parser on seeded noise (KELO_SEED).

#include "headset.h"
#include "headsetstream.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <atomic>
#include <ctime>

namespace {

const QByteArray configuration = "{enableRawOutput: false,format: Json}";
const quint32 seed
    = qEnvironmentVariable("KELO_SEED", QString::number(QRandomGenerator::global()->generate()))
          .toUInt();

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

// A recorded-style stream: blink strengths 1, 2, ..., some objects behind a packet with a brace;
// if noisy, also noise and objects cut short or too long. In random pieces; ids: the strengths
// to be taken.
QByteArrayList recorded(QRandomGenerator &rng, int items, bool noisy, QList<int> &ids)
{
    static const char *const shapes[]
        = { "{\"blinkStrength\":%1}", "{ \"poorSignalLevel\" : 26 , \"blinkStrength\" : %1 }",
            "{\"eSense\":{\"attention\":53},\"m\":[1,2],\"blinkStrength\":%1}",
            "{\"n\":\"a \\\"}{\\\" \\u00e9\",\"blinkStrength\":%1,\"x\":null}" };
    static const QByteArray before[] = { "\xaa\xaa\x04\x80\x02\x01\x7b", "\r", "" };
    static const QByteArray ends[] = { "\r", "\n", "\r\n" };
    QByteArray stream;
    while (items-- > 0) {
        const int kind = rng.bounded(noisy ? 5 : 3);
        if (kind < 3) {
            stream += before[kind] + QString(shapes[rng.bounded(4)]).arg(ids.size() + 1).toUtf8()
                + ends[rng.bounded(3)];
            ids << ids.size() + 1;
        } else if (kind == 3) {
            static const QByteArray js = "{{}}[]\"\":,\\ \r\nabc";
            for (int n = rng.bounded(1, 200); n > 0; --n)
                stream += rng.bounded(2) ? js[rng.bounded(js.size())] : char(rng.bounded(256));
        } else {
            const QByteArray cut = rng.bounded(20)
                ? QByteArray(shapes[rng.bounded(4)])
                : "{\"a\":\"" + QByteArray(rng.bounded(60000, 300000), 'x');
            stream += cut.left(rng.bounded(1, int(cut.size()) - 1)) + ends[rng.bounded(3)];
        }
    }
    QByteArrayList pieces;
    for (qsizetype at = 0; at < stream.size(); at += pieces.last().size())
        pieces << stream.mid(at, rng.bounded(1, rng.bounded(2) ? 16 : 600));
    return pieces;
}

} // namespace

class TestHeadset : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("KELO_SEED=%u", seed); }

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
        row("fraction", "{B:9}\r|{S:2.5,B:2.5}\r", { 200, 0, 2 });
        row("string", "{B:9}\r|{S:'x',B:'x'}\r", { 200, 0, 2 });
        row("two in one write", "{S:26}\r{B:40}\r", { 174, 40, 1 });
        row("split, no terminator", "{'blinkStr|ength':40,'poorSig|nalLevel':1}", { 199, 40, 1 });
        row("binary preamble", "\xaa\xaa\x20\x02\x83\x18{'\x10\xaa\x7b{B:40}\r", { 0, 40, 1 });
        row("garbage", "noise {'oops':[1,\r}}{B:5,}\r{B:07}{B:6}\r|\x01{{B:7}\r}", { 0, 7, 2 });
        row("1 MiB", "{'a':'" + QByteArray(1 << 20, 'x') + "|\r{B:5}\r", { 0, 5, 1 });
        QRandomGenerator rng(seed);
        QList<int> ids;
        QTest::newRow("recorded, random pieces")
            << recorded(rng, 3000, false, ids) << QList<int>({ 174, 3000, 3000 });
    }
    // Each on a fresh connection; then one more blink is read, and nothing that came before it.
    void readings()
    {
        QFETCH(QByteArrayList, writes);
        QFETCH(QList<int>, expected);
        Link link;
        QVERIFY(link.accept());
        for (const QByteArray &bytes : writes)
            link.send(bytes);
        QTRY_COMPARE(link.state(), expected);
        link.send("\r{\"blinkStrength\":222}\r");
        QTRY_COMPARE(link.state(), QList<int>({ expected[0], 222, expected[2] + 1 }));
        QCOMPARE(link.received, configuration);
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

    // Noisy streams in random pieces: each object taken once, in order; the buffer bounded.
    void streamFuzz()
    {
        QRandomGenerator rng(seed);
        for (int round = 0; round < 1500; ++round) {
            QList<int> expected, taken;
            HeadsetStream parser;
            for (const QByteArray &piece : recorded(rng, rng.bounded(1, 60), true, expected)) {
                for (const auto &reading : parser.feed(piece))
                    taken << reading.blinkStrength.value_or(-1);
                QVERIFY(parser.pending() <= HeadsetStream::maxPending);
            }
            QCOMPARE(taken, expected);
        }
    }
};

QTEST_MAIN(TestHeadset)
#include "tst_headset.moc"
