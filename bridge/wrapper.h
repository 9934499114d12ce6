#pragma once

#include "headset.h"
#include "keym.h"
#include "mouse.h"
#include "qjoystick.h"
#include "qsound.h"
#include "webth.h"

#include <QImage>
#include <QQuickPaintedItem>
#include <QStringList>
#include <QUrl>

#include <atomic>

// The front end's one way into the native core. Inputs are polled: each event is handed out
// once, by read-and-clear flags and rising edges.
class Wrapper : public QQuickPaintedItem
{
    Q_OBJECT
public:
    explicit Wrapper(QQuickItem *parent = nullptr);
    // The exit path: stops the devices and ends the process.
    ~Wrapper() override;

    void paint(QPainter *painter) override;

    // What the camera and headset workers report; public so tests can raise them.
    void blinkSeen() { blkf.store(1); }
    void headsetBlinkSeen() { hlkf.store(1); }
    // Shows a 320 x 240 BGR frame that stays owned, allocated and unchanged by the caller
    // until the next one arrives.
    void showFrame(uchar *pixels);
    // The blink detector, for tests that feed it recorded frames.
    Webth &camera() { return webth; }

signals:
    void closed();
    void vid(const QImage &image);

public slots:
    void cursor(int n);
    void coff();
    void con(int n);
    void osstart();
    void osstop();
    int joynb();
    int joybt();
    int joyesc();
    void setjoy(int n);
    QString joynm(int n);
    void mouseMove(int n);
    int blk();
    int headnb();
    int hlk();
    int strengh();
    int wink();
    void lang(int n);
    void plan(int n);
    void text(const QString &s);
    QStringList t9(const QString &prefix);
    void keyb(int n);
    void special(int n);
    void modif(int n);
    void loadSound(const QUrl &url);
    void playSound();
    void stopSound();

private:
    std::atomic<int> blkf { 0 };
    // Set by the headset's thread, read and cleared here.
    std::atomic<int> hlkf { 0 };
    int joyprev = 0;
    int escprev = 1;
    // Polls during which an Escape release comes from the program's own Escape key.
    int ownEscapePolls = 0;
    KeyM keym;
    Mouse mouseth;
    Webth webth;
    QJoystick joystick;
    Headset headset;
    QSound qsound;
    QImage frame;
};
