#include "webth.h"

#include "eyesmodule.h"

#include <QCameraDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QMediaDevices>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// How long a camera whose reads fail (unplugged, busy) rests before trying again.
constexpr auto failedReadPause = std::chrono::milliseconds(40);
// How long stop() waits for the capture thread before leaving it to finish on its own.
constexpr auto stopWait = std::chrono::milliseconds(250);

std::atomic<double> moduleMs { -1 };

// The OpenCV half, loaded by the first source opened, on that source's thread, and kept for the
// rest of the run; null (with why) when it cannot be loaded.
const KeloEyesApi *eyesModule(QString *why)
{
    static std::mutex lock;
    static const KeloEyesApi *api = nullptr;
    static QString failure;
    static bool tried = false;
    std::lock_guard guard(lock);
    if (!tried) {
        tried = true;
        QElapsedTimer took;
        took.start();
        QLibrary module(QCoreApplication::applicationDirPath()
                        + QStringLiteral("/" KELO_EYES_MODULE));
        using Entry = const KeloEyesApi *(*)();
        const auto entry
            = module.load() ? reinterpret_cast<Entry>(module.resolve("kelo_eyes_api")) : nullptr;
        api = entry ? entry() : nullptr;
        if (api && api->version != KELO_EYES_VERSION)
            api = nullptr;
        failure = !module.isLoaded() ? module.errorString()
            : !api ? QStringLiteral("%1 is of another version").arg(module.fileName())
                   : QString();
        moduleMs = double(took.nsecsElapsed()) / 1e6;
    }
    *why = failure;
    return api;
}

} // namespace

struct Webth::Source
{
    // A device path or a file; empty: the camera at index.
    std::string path;
    int index = -1;
    bool file = false;
    int periodMs = 0;
};

// One opening of a source, run by a thread of its own. The detector lets go of a session by
// clearing owner; the thread then posts nothing more and ends at its next check.
struct Webth::Session
{
    ~Session()
    {
        // Reached only once the thread no longer needs the session, or from that thread itself.
        if (thread.joinable())
            thread.detach();
    }

    void run(const Source &source, const std::string &cascadeFile);
    template<typename Call> void post(Call &&call);

    quint64 serial = 0;
    std::atomic<bool> stopping { false };
    std::mutex ownerLock;
    Webth *owner = nullptr;
    std::mutex doneLock;
    std::condition_variable doneChanged;
    bool done = false;
    std::thread thread;
};

// Queues call(detector) on the detector's thread, unless the detector has let go.
template<typename Call> void Webth::Session::post(Call &&call)
{
    std::lock_guard guard(ownerLock);
    if (!owner)
        return;
    Webth *target = owner;
    QMetaObject::invokeMethod(
        target, [target, call = std::forward<Call>(call)] { call(target); }, Qt::QueuedConnection);
}

void Webth::Session::run(const Source &source, const std::string &cascadeFile)
{
    QString why;
    const KeloEyesApi *api = eyesModule(&why);
    void *cascade = nullptr;
    void *capture = nullptr;
    if (!api) {
        post([why](Webth *detector) { detector->moduleMissing(why); });
    } else {
        if (!cascadeFile.empty() && !(cascade = api->loadCascade(cascadeFile.c_str())))
            post([](Webth *detector) { detector->cascadeMissing(); });
        capture = api->open(source.path.empty() ? KELO_EYES_INDEX
                                : source.file   ? KELO_EYES_FILE
                                                : KELO_EYES_DEVICE,
                            source.path.c_str(), source.index);
    }

    KeloEyesFrame searched {};
    while (capture && !stopping) {
        const auto begin = Clock::now();
        // A frame of its own for every hand-over: the receiver may show it while this thread
        // already fills the next one.
        QImage frame(frameWidth, frameHeight, QImage::Format_BGR888);
        searched.pixels = frame.bits();
        const int read = api->read(capture, cascade, &searched);
        if (stopping)
            break;
        if (read == 0) {
            if (source.file)
                break;
            std::this_thread::sleep_for(failedReadPause);
            continue;
        }
        if (read < 0)
            continue;
        QList<QRect> rects;
        for (int i = 0; i < searched.rectCount; ++i) {
            const int *r = searched.rects[i];
            rects.append(QRect(r[0], r[1], r[2], r[3]));
        }
        post([serial = serial, frame, rects, count = std::min(searched.found, 2),
              stepMs = searched.stepMs](Webth *detector) {
            detector->frameReady(serial, frame, rects, count, stepMs);
        });
        if (source.periodMs > 0)
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(source.periodMs));
    }
    if (capture)
        api->close(capture);
    if (cascade)
        api->freeCascade(cascade);
    post([serial = serial](Webth *detector) { detector->sessionEnded(serial); });
    std::lock_guard guard(doneLock);
    done = true;
    doneChanged.notify_all();
}

Webth::Webth(const QString &cascadePath)
    : cascadePath(cascadePath.isEmpty()
                      ? QCoreApplication::applicationDirPath() + QStringLiteral("/eyes.xml")
                      : cascadePath)
{
    // Whether it is a cascade is known once the first source is opened; a missing file is told
    // at once.
    if (!QFileInfo(this->cascadePath).isFile())
        cascadeMissing();
}

double Webth::moduleLoadMs()
{
    return moduleMs;
}

void Webth::cascadeMissing()
{
    if (!std::exchange(cascadeOk, false))
        return;
    qWarning("Kelo#: %s is missing or is not an eye cascade; the camera will show its picture "
             "but no blink will be seen.",
             qPrintable(cascadePath));
}

void Webth::moduleMissing(const QString &why)
{
    if (std::exchange(moduleWarned, true))
        return;
    qWarning("Kelo#: the camera cannot be used: %s", qPrintable(why));
}

Webth::~Webth()
{
    release();
}

void Webth::open(int index)
{
    if (current || index < 0)
        return;
    Source source;
    source.index = index;
    // On Linux the multimedia list names each camera by its device path; opening that path
    // keeps the two lists in step where a camera also has a metadata node. Elsewhere the
    // position is the capture library's index.
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    if (index < inputs.size()) {
        const QByteArray id = inputs.at(index).id();
        if (id.startsWith("/dev/"))
            source.path = id.toStdString();
    }
    start(source);
}

void Webth::openFile(const QString &path, int periodMs)
{
    if (current)
        return;
    Source source;
    source.path = path.toStdString();
    source.file = true;
    source.periodMs = periodMs;
    start(source);
}

void Webth::start(const Source &source)
{
    static quint64 serials = 0;
    auto session = std::make_shared<Session>();
    session->serial = ++serials;
    session->owner = this;
    current = session;
    const std::string cascadeFile = cascadeOk ? cascadePath.toStdString() : std::string();
    session->thread
        = std::thread([session, source, cascadeFile] { session->run(source, cascadeFile); });
}

void Webth::stop()
{
    release();
}

int Webth::closedFor() const
{
    if (!shut)
        return -1;
    const auto now
        = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return int(std::clamp<qint64>(now.count() - closedAt, 0, 1 << 30));
}

void Webth::release()
{
    shut = false;
    if (!current)
        return;
    const std::shared_ptr<Session> session = std::exchange(current, nullptr);
    {
        std::lock_guard guard(session->ownerLock);
        session->owner = nullptr;
    }
    session->stopping = true;
    std::unique_lock lock(session->doneLock);
    // A read that blocks (a camera gone mid-read) is left to end on its own thread.
    if (session->doneChanged.wait_for(lock, stopWait, [&] { return session->done; })) {
        lock.unlock();
        session->thread.join();
    }
}

void Webth::frameReady(quint64 serial, const QImage &frame, const QList<QRect> &eyes, int count,
                       double stepMs)
{
    // Late frames of a stopped source are neither shown nor counted.
    if (!current || current->serial != serial)
        return;
    const qint64 now
        = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
              .count();
    if (last - count == 2) {
        shut = true;
        closedAt = now;
        emit blink();
    } else if (count > 0) {
        shut = false;
    }
    last = count;
    lastStep = stepMs;
    found = eyes;
    const QImage previous = std::exchange(shown, frame);
    emit vid(const_cast<uchar *>(shown.constBits()));
}

void Webth::sessionEnded(quint64 serial)
{
    if (!current || current->serial != serial)
        return;
    release();
    emit finished();
}
