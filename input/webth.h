#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

// Turns an eye blink before a webcam into a switch press: two or more eyes in one examined
// frame and none in the next is a blink. Frames are read and searched on a thread of the
// detector's own, so the window never waits for the camera; results come back to the thread
// that owns the detector (the GUI thread) as queued calls.
class Webth : public QObject
{
    Q_OBJECT
public:
    static constexpr int frameWidth = 320;
    static constexpr int frameHeight = 240;

    // cascadePath: an OpenCV eye cascade; empty means eyes.xml beside the executable.
    explicit Webth(const QString &cascadePath = QString());
    ~Webth() override;

    // Starts capture and detection on camera index, numbered as the multimedia device list
    // numbers it; does nothing while a source is open.
    void open(int index);
    // The same frame step over a video file or an image sequence ("dir/%03d.png"), for tests
    // and benchmarks; periodMs paces the reads (0: as fast as they decode). Ends by itself at
    // the end of the file, emitting finished().
    void openFile(const QString &path, int periodMs = 0);
    // Ends capture within about one frame, whatever the source is doing.
    void stop();

    // A source is open or being opened.
    bool isOn() const { return current != nullptr; }
    // Whether the cascade is there (and, once a source was opened, could be loaded); without
    // it frames are shown but no blink is seen.
    bool hasCascade() const { return cascadeOk; }
    // How long loading the OpenCV half took, on the first source opened; -1 before.
    static double moduleLoadMs();
    // The eyes found in the last frame handed over, in its coordinates.
    QList<QRect> eyes() const { return found; }
    // How long the last frame handed over took to resize, search and annotate.
    double stepMs() const { return lastStep; }
    // How long (ms) the eyes have stayed shut since they closed for a blink, so that a long
    // blink can act as a held switch; -1 while they are open or no source runs.
    int closedFor() const;

signals:
    void blink();
    // A new annotated 320 x 240 BGR frame; its pixels stay valid and unchanged until the next.
    void vid(uchar *pixels);
    // A file source has no more frames, or a source could not be opened.
    void finished();

private:
    struct Session;
    struct Source;
    void start(const Source &source);
    void frameReady(quint64 serial, const QImage &frame, const QList<QRect> &eyes, int count,
                    double stepMs);
    void sessionEnded(quint64 serial);
    void cascadeMissing();
    void moduleMissing(const QString &why);
    // Gives up on the running session: it is told to stop and waited for a little.
    void release();

    QString cascadePath;
    bool cascadeOk = true;
    bool moduleWarned = false;
    // Eye count of the previous examined frame; carries over a stop and the next open.
    int last = 0;
    std::shared_ptr<Session> current;
    // The frame on show; the one it replaces lives until every receiver has the new one.
    QImage shown;
    QList<QRect> found;
    double lastStep = 0;
    // Eyes closed after two open ones, since closedAt (ms).
    bool shut = false;
    qint64 closedAt = 0;
};
