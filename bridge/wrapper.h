#pragma once

#include "headset.h"
#include "keym.h"
#include "mouse.h"
#include "predictor.h"
#include "qjoystick.h"
#include "qsound.h"
#include "speech.h"
#include "webth.h"

#include <QImage>
#include <QQuickPaintedItem>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>

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
    // The milliseconds clock that times held presses; tests set their own.
    void setClock(std::function<qint64()> now) { clock = std::move(now); }

signals:
    void closed();
    void vid(const QImage &image);
    // Escape or the switch key has just moved; the poll need not wait for its tick.
    void keyMoved();

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
    // Loads the click ahead of the first press; the tick of the sound cue as the highlight steps.
    void prepareSound();
    void cue();
    // The voice: says text at once (cutting short what it was saying), hushes, and is set up.
    // Rate -100 to 100 (0 normal), volume 0 to 100; a voice by its name, empty for the default.
    void say(const QString &text);
    void hush();
    // 1 while the voice is saying something.
    int speaking();
    QStringList voices();
    void setVoice(const QString &name);
    void setSpeechRate(int rate);
    void setSpeechVolume(int volume);
    // The name of a key held down now, as setKey takes it (Escape and modifiers aside); empty
    // while none is: the switch key is chosen by pressing it.
    QString keyDown();
    // Prediction order (0 alphabetical, 1 frequency, 2 frequency and the user's words), a word
    // the user completed, and forgetting those words; see Predictor.
    void rank(int order);
    void learn(const QString &word);
    void forget();
    // Presses count only once held this long (ms): game-pad buttons, the Escape and switch keys,
    // and eyes closed before the camera. 0 counts every press.
    void setHold(int ms);
    // The user's own switch key by its X keysym name ("F8", "Pause"; empty: none), taken from
    // every application when grab is set.
    void setKey(const QString &name, bool grab);
    // The switch key's release after a press, once, as joyesc reports Escape.
    int keysw();
    // Point mode: where the pointer is, and putting it at a point of the virtual desktop.
    QPoint pointer();
    void pointAt(int x, int y);
    // How long (ms) the Escape key, the switch key or the chosen pad's button has been held down
    // as of the last poll, or the eyes kept shut before the camera; 0 while none is.
    int held();
    // What the Escape key is: 0 a switch no application sees, 1 a switch that also reaches the
    // application, 2 no switch (an ordinary key).
    void setEscape(int mode);
    // The modifier the next key or character gets (KeyM's mode: 0 none, 1 Ctrl, 3 Alt, 4 Shift,
    // 5 and above a lasting Shift), so the window can show it.
    int modifier();
    // 1 once when the caret may have moved since the last call (a click anywhere, the focus gone
    // to another window): the word being typed can no longer be followed.
    int moved();
    // A page of help in the language given ("en", "fr", ...; English when there is none),
    // written out of the program's resources to a local file a browser can open.
    QUrl helpPage(const QString &language);
    // The next words before their first letter (order 3), the likeliest letters after those
    // typed, a sentence start, and learning on or paused; see Predictor.
    QStringList next();
    QString letters(const QString &prefix);
    void sentence();
    void learning(bool on);
    // What keeps typing or pointing from working on this desktop, and its fix; empty if nothing.
    QString problem();

private:
    int keyReleased(int level, int &prev, qint64 &since, int &ownPolls);

    std::atomic<int> blkf { 0 };
    // Set by the headset's thread, read and cleared here.
    std::atomic<int> hlkf { 0 };
    int joyprev = 0;
    int escprev = 1;
    // Polls during which an Escape release comes from the program's own Escape key.
    int ownEscapePolls = 0;
    // Held-press timing: the required hold, when each switch went down, and whether the
    // button's press has been counted.
    int holdMs = 0;
    qint64 joySince = 0;
    bool joyCounted = false;
    qint64 escSince = 0;
    int keyprev = 1;
    qint64 keySince = 0;
    // Polls during which a switch-key release may come from what the program just typed.
    int ownKeyPolls = 0;
    bool keyChosen = false;
    // Escape is no switch at all.
    bool escapeOff = false;
    std::function<qint64()> clock;
    KeyM keym;
    Predictor predictor;
    Mouse mouseth;
    Webth webth;
    QJoystick joystick;
    Headset headset;
    QSound qsound;
    Speech speech;
    QImage frame;
};
