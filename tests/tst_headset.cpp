// The headset client against a real service on 127.0.0.1, and its stream parser on seeded
// noise. KELO_SEED=n repeats a run of the random cases.

#include "headset.h"
#include "headsetstream.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <atomic>
#include <memory>

#ifdef Q_OS_WIN
#define NOMINMAX
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

const QByteArray configuration = "{enableRawOutput: false,format: Json}";

const quint32 seed = qEnvironmentVariableIsSet("KELO_SEED")
    ? quint32(qEnvironmentVariableIntValue("KELO_SEED"))
    : QRandomGenerator::global()->generate();

// User and system time of this process, in milliseconds.
qint64 cpuMs()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return (qint64(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
#else
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
#endif
}

// A client and a service for it on 127.0.0.1: the service keeps all that the client wrote, the
// client's winks are counted on its thread as the bridge counts them.
struct Link
{
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    QByteArray received;
    std::atomic<int> winks { 0 };
    std::unique_ptr<Headset> headset;

    // Listens (on a free port the first time), and waits for the client's configuration text.
    bool connect(quint16 port = 0)
    {
        if (!server.listen(QHostAddress::LocalHost, port))
            return false;
        if (!headset) {
            headset = std::make_unique<Headset>(server.serverPort(), 0);
            QObject::connect(
                headset.get(), &Headset::wink, headset.get(), [this] { ++winks; },
                Qt::DirectConnection);
        }
        if (!server.waitForNewConnection(5000))
            return false;
        peer = server.nextPendingConnection();
        received.clear();
        QObject::connect(peer, &QTcpSocket::readyRead, peer,
                         [this, socket = peer] { received += socket->readAll(); });
        return QTest::qWaitFor([this] { return received.size() >= configuration.size(); });
    }
    // Each write on its own, so that the client reads it on its own.
    void send(const QByteArray &bytes)
    {
        peer->write(bytes);
        peer->waitForBytesWritten(5000);
        QTest::qWait(30);
    }
    QList<int> state() const { return { headset->quality, headset->bstrength, winks }; }
};

QByteArray object(int id, QRandomGenerator &rng)
{
    static const char *const shapes[] = {
        "{\"blinkStrength\":%1}",
        "{ \"poorSignalLevel\" : 26 , \"blinkStrength\" : %1 }",
        "{\"eSense\":{\"attention\":53,\"meditation\":[1,2]},\"blinkStrength\":%1}",
        "{\"note\":\"a \\\"}{\\\" \\u00e9\",\"blinkStrength\":%1,\"x\":null}",
    };
    return QString::fromLatin1(shapes[rng.bounded(4)]).arg(id).toUtf8();
}

QByteArray terminator(QRandomGenerator &rng)
{
    static const char *const ends[] = { "\r", "\n", "\r\n" };
    return ends[rng.bounded(3)];
}

QByteArray noise(QRandomGenerator &rng)
{
    static const QByteArray likely = "{{}}[]\"\":,\\ \r\nabc";
    QByteArray bytes(rng.bounded(1, 200), Qt::Uninitialized);
    for (char &c : bytes)
        c = rng.bounded(2) ? likely[rng.bounded(likely.size())] : char(rng.bounded(256));
    return bytes;
}

} // namespace

class TestHeadset : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("KELO_SEED=%u", seed); }

    void readings_data()
    {
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QList<int>>("expected"); // quality, blink strength, winks
        // Writes are parted by |, and ' stands for ".
        const auto row = [](const char *name, QByteArray writes, QList<int> expected) {
            QTest::newRow(name) << writes.replace('\'', '"').split('|') << expected;
        };
        row("signal 0", "{'poorSignalLevel':0}\r", { 200, 0, 0 });
        row("26, 200, LF, CR LF", "{'poorSignalLevel':26}\n|{'poorSignalLevel':200}\r\n",
            { 0, 0, 0 });
        row("blink 57", "{'blinkStrength':57}\r", { 0, 57, 1 });
        row("both keys", "{'poorSignalLevel':50,'blinkStrength':12}\r", { 150, 12, 1 });
        row("neither key", "{'poorSignalLevel':50}\r|{'attention':5}\r", { 150, 0, 0 });
        row("null", "{'blinkStrength':9}\r|{'blinkStrength':null}\r|{ 'blinkStrength': null }\r",
            { 0, 9, 1 });
        row("fraction", "{'blinkStrength':9}\r|{'poorSignalLevel':2.5,'blinkStrength':2.5}\r",
            { 200, 0, 2 });
        row("string", "{'blinkStrength':9}\r|{'poorSignalLevel':'x','blinkStrength':'x'}\r",
            { 200, 0, 2 });
        row("two in one write", "{'poorSignalLevel':26}\r{'blinkStrength':40}\r", { 174, 40, 1 });
        row("split", "{'blinkStr|ength':40,'poorSig|nalLevel':1}\r", { 199, 40, 1 });
        row("alone, no terminator", "{'blinkStrength':33}", { 0, 33, 1 });
        row("binary preamble", "\xaa\xaa\x20\x02\x83\x18{'\x10\xaa\x7b{'blinkStrength':40}\r",
            { 0, 40, 1 });
        row("garbage",
            "noise {'oops':[1,\r}}{'blinkStrength':5,}\r{'blinkStrength':07}{'blinkStrength':6}\r|"
            "\x01{{'blinkStrength':7}\r}",
            { 0, 7, 2 });
        row("1 MiB, no terminator",
            "{'a':'" + QByteArray(1 << 20, 'x') + "|\r{'blinkStrength':5}\r", { 0, 5, 1 });
    }

    // Each case on a fresh connection: what the client sends, what it takes from the service.
    void readings()
    {
        QFETCH(QByteArrayList, writes);
        QFETCH(QList<int>, expected);
        Link link;
        QVERIFY(link.connect());
        QTRY_VERIFY(link.headset->isconnected());
        for (const QByteArray &bytes : writes)
            link.send(bytes);
        QTRY_COMPARE(link.state(), expected);
        // Everything before it has been read once this has: nothing more came of it.
        link.send("\r{\"blinkStrength\":222}\r");
        QTRY_COMPARE(link.state(), QList<int>({ expected[0], 222, expected[2] + 1 }));
        QCOMPARE(link.received, configuration);
    }

    // A long recorded-style stream in random pieces: every blink counts, once.
    void recordedStreamInRandomPieces()
    {
        QRandomGenerator rng(seed);
        QByteArray stream;
        for (int i = 0; i < 3000; ++i) {
            if (i % 7 == 0)
                stream += "\xaa\xaa\x04\x80\x02\x01\x7b"; // a binary packet, stray brace included
            stream += (i % 3 ? object(i % 255 + 1, rng) : "{\"poorSignalLevel\":26}")
                + terminator(rng);
        }
        Link link;
        QVERIFY(link.connect());
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype piece = rng.bounded(1, rng.bounded(2) ? 16 : 600);
            link.peer->write(stream.mid(at, piece));
            link.peer->flush();
            at += piece;
            if (rng.bounded(8) == 0)
                QTest::qWait(1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(link.winks.load(), 2000, 20000);
        QCOMPARE(link.state(), QList<int>({ 174, 2999 % 255 + 1, 2000 }));
    }

    // Away: no signal shown, retried without spinning; back: configured again and counting.
    void serviceGoesAndComesBack()
    {
        Link link;
        QVERIFY(link.connect());
        const quint16 port = link.server.serverPort();
        link.send("{\"poorSignalLevel\":26,\"blinkStrength\":80}\r");
        QTRY_COMPARE(link.state(), QList<int>({ 174, 80, 1 }));

        link.peer->close();
        link.server.close();
        QTRY_VERIFY(!link.headset->isconnected());
        QCOMPARE(link.state(), QList<int>({ 0, 0, 1 }));
        // Retrying is paced, not spun.
        const qint64 before = cpuMs();
        QTest::qWait(3000);
        const qint64 used = cpuMs() - before;
        QVERIFY2(used < 300, qPrintable(QStringLiteral("%1 ms of CPU in 3 s").arg(used)));
        QVERIFY(link.connect(port));
        QTRY_VERIFY(link.headset->isconnected());
        link.send("{\"blinkStrength\":81}\r");
        QTRY_COMPARE(link.winks.load(), 2);

        link.headset->stop();
        link.headset->stop();
        QVERIFY(link.headset->workerThread.isFinished());
        QVERIFY(!link.headset->isconnected());
        QTRY_COMPARE(link.peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(link.received, configuration); // sent again on the new connection, and only it
    }

    // Valid objects among noise, cut objects and overlong runs, fed in random pieces: each
    // framed object, or one right after noise, is taken exactly once and in order; the buffer
    // stays bounded.
    void streamFuzz()
    {
        QRandomGenerator rng(seed);
        for (int round = 0; round < 1500; ++round) {
            QByteArray stream;
            QList<int> expected;
            int id = 0;
            for (int item = rng.bounded(1, 60); item > 0; --item) {
                const int kind = rng.bounded(5);
                if (kind < 3) { // after a line end, or right after what came before
                    stream += (kind < 2 ? terminator(rng) : QByteArray()) + object(++id, rng)
                        + terminator(rng);
                    expected << id;
                } else if (kind == 3) {
                    stream += noise(rng);
                } else { // never completed: cut short, or longer than the buffer holds
                    const QByteArray cut = rng.bounded(20)
                        ? object(-1, rng)
                        : "{\"a\":\"" + QByteArray(rng.bounded(60000, 300000), 'x');
                    stream += cut.left(rng.bounded(1, int(cut.size()) - 1)) + terminator(rng);
                }
            }
            HeadsetStream parser;
            QList<int> taken;
            for (qsizetype at = 0; at < stream.size();) {
                const qsizetype piece = rng.bounded(1, rng.bounded(2) ? 8 : 3000);
                for (const auto &reading : parser.feed(
                         QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at))))
                    if (reading.blinkStrength.value_or(0) > 0)
                        taken << *reading.blinkStrength;
                QVERIFY(parser.pending() <= HeadsetStream::maxPending);
                at += piece;
            }
            QCOMPARE(taken, expected);
        }
    }
};

QTEST_MAIN(TestHeadset)
#include "tst_headset.moc"
