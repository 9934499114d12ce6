#include "webth.h"

#include <QCameraDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QMetaObject>

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// Red in blue, green, red order; boxes 2 pixels wide.
const cv::Scalar boxColor(0, 0, 255, 0);
const cv::Size minEye(15, 15);
const cv::Size maxEye(45, 45);
// How long a camera whose reads fail (unplugged, busy) rests before trying again.
constexpr auto failedReadPause = std::chrono::milliseconds(40);
// How long stop() waits for the capture thread before leaving it to finish on its own.
constexpr auto stopWait = std::chrono::milliseconds(250);

bool loadCascade(cv::CascadeClassifier &cascade, const std::string &path)
{
    try {
        return cascade.load(path) && !cascade.empty();
    } catch (const cv::Exception &) {
        // A file that is not a cascade can make the parser throw instead of failing.
        return false;
    }
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
    cv::CascadeClassifier cascade;
    if (!cascadeFile.empty())
        loadCascade(cascade, cascadeFile);

    cv::VideoCapture capture;
    try {
        if (source.path.empty())
            capture.open(source.index, cv::CAP_ANY);
        else
            capture.open(source.path,
                         !source.file                                     ? cv::CAP_V4L2
                             : source.path.find('%') != std::string::npos ? cv::CAP_IMAGES
                                                                          : cv::CAP_ANY);
    } catch (const cv::Exception &) {
    }

    cv::Mat img, gray;
    std::vector<cv::Rect> eyes;
    while (capture.isOpened() && !stopping) {
        const auto begin = Clock::now();
        bool ok = false;
        try {
            ok = capture.read(img);
        } catch (const cv::Exception &) {
        }
        if (stopping)
            break;
        if (!ok) {
            if (source.file)
                break;
            std::this_thread::sleep_for(failedReadPause);
            continue;
        }
        // The hand-over is 8-bit BGR; anything else is skipped like a failed read.
        if (img.empty() || img.type() != CV_8UC3)
            continue;

        const auto stepBegin = Clock::now();
        cv::resize(img, img, cv::Size(frameWidth, frameHeight), 0, 0, cv::INTER_LINEAR);
        cv::cvtColor(img, gray, cv::COLOR_BGR2GRAY);
        cv::equalizeHist(gray, gray);
        eyes.clear();
        if (!cascade.empty())
            cascade.detectMultiScale(gray, eyes, 1.3, 3, 0, minEye, maxEye);
        QList<QRect> rects;
        for (const cv::Rect &eye : eyes) {
            cv::rectangle(img, eye, boxColor, 2, cv::LINE_8, 0);
            rects.append(QRect(eye.x, eye.y, eye.width, eye.height));
        }
        const int count = std::min<int>(int(eyes.size()), 2);

        // A frame of its own for every hand-over: the receiver may show it while this thread
        // already fills the next one.
        QImage frame(frameWidth, frameHeight, QImage::Format_BGR888);
        for (int y = 0; y < frameHeight; ++y)
            std::memcpy(frame.scanLine(y), img.ptr(y), size_t(frameWidth) * 3);
        const double stepMs
            = std::chrono::duration<double, std::milli>(Clock::now() - stepBegin).count();

        post([serial = serial, frame, rects, count, stepMs](Webth *detector) {
            detector->frameReady(serial, frame, rects, count, stepMs);
        });
        if (source.periodMs > 0)
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(source.periodMs));
    }
    capture.release();
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
    cv::CascadeClassifier probe;
    cascadeOk = loadCascade(probe, this->cascadePath.toStdString());
    if (!cascadeOk)
        qWarning("Kelo#: %s is missing or is not an eye cascade; the camera will show its "
                 "picture but no blink will be seen.",
                 qPrintable(this->cascadePath));
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

void Webth::release()
{
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
        closing = true;
        closedAt = now;
    } else if (count > 0) {
        closing = false;
    }
    if (closing && now - closedAt >= holdMs) {
        closing = false;
        emit blink();
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
