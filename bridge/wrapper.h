#pragma once

#include "headset.h"
#include "keym.h"
#include "mouse.h"
#include "predictor.h"
#include "pressrules.h"
#include "qjoystick.h"
#include "qsound.h"
#include "speech.h"
#include "webth.h"

#include <QImage>
#include <QQuickPaintedItem>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <utility>
#include <vector>

// The front end's one way into the native core. The switch is polled: press() hands each press
// out once, after the rules of PressRules.
class Wrapper : public QQuickPaintedItem
{
    Q_OBJECT
public:
    explicit Wrapper(QQuickItem *parent = nullptr);
    // The exit path: stops the devices and ends the process.
    ~Wrapper() override;

    void paint(QPainter *painter) override;

    // A headset blink report of this strength, as the headset's thread hands it over.
    void headsetReport(int strength);
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
    // Escape or the switch key has just moved, or the headset reported a blink; the poll need
    // not wait for its tick.
    void keyMoved();

public slots:
    void cursor(int n);
    void coff();
    void con(int n);
    void osstart();
    void osstop();
    int joynb();
    // The switch, once a poll: -1 no press, -2 a switch held so long that it cancels (see
    // setHoldCancels), else how long ago (ms) the press's switch went down (0 when presses are
    // taken at release), so that the front end acts on what was lit then. Escape and the switch
    // key always count; of the devices only source's ("stick", "webcam", "headset"; any other:
    // none), whose events left from before are dropped.
    int press(const QString &source);
    // The source of the last press taken ("escape", "key", "pad", "camera", "step", "headset"),
    // and 1 while any switch is held down, as the last poll saw them.
    QString pressSource() const;
    int switchHeld() const;
    // See PressRules.
    void setDebounce(int ms);
    void setBlinkThreshold(int strength);
    void setPressDown(bool on);
    void setHoldCancels(bool on);
    void setjoy(int n);
    // A game-pad button that steps in two-switch scanning, as the switch key does, and no longer
    // picks (-1 or out of range: none); the lowest pad button held now (-1: none), to choose it.
    void setStepButton(int button);
    int padButton();
    QString joynm(int n);
    void mouseMove(int n);
    int headnb();
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
    // While the switch key is being chosen, keys reach no application (see Platform).
    void holdKeyboard(bool on);
    // Prediction order (0 alphabetical, 1 frequency, 2 frequency and the user's words), a word
    // the user completed, and forgetting those words; see Predictor.
    void rank(int order);
    void learn(const QString &word);
    void forget();
    // Presses count only once held this long (ms), whatever the source but the headset; 0
    // counts every press.
    void setHold(int ms);
    // The user's own switch key by its X keysym name ("F8", "Pause"; empty: none), taken from
    // every application when grab is set.
    void setKey(const QString &name, bool grab);
    // Point mode: where the pointer is, and putting it at a point of the virtual desktop.
    QPoint pointer();
    void pointAt(int x, int y);
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
    QString letters(const QString &prefix, const QStringList &offered = {});
    void sentence();
    void learning(bool on);
    // With on (the default), what is typed into a password field stays private: no word typed
    // there, even in part, is learned, and secret() is 1 while one has the focus, so that the
    // window says no letter. Off, secret() is 0 and password fields are typed into as any.
    void keepPasswords(bool on);
    int secret();
    // What keeps typing or pointing from working on this desktop, and its fix; empty if nothing.
    QString problem();
    // A command that makes Kelo# work fully on this desktop (turning on its GNOME Shell
    // extension); empty if there is none.
    QString setupCommand();
    // 1 where something can be typed; 1 where Escape and the switch key are read whatever has
    // the focus.
    int canType();
    int keysReadable();

private:
    PressRules rules;
    // Keys to type, held back in order while a switch key taken from the applications is down
    // (a press is taken at once, the key still down); sent at the first poll after its release.
    QList<std::function<void()>> heldOutput;
    void output(std::function<void()> send);
    // A blink seen since the last poll, and when the eyes closed for it.
    bool blinked = false;
    qint64 blinkAt = -1;
    // Headset blink reports since the last poll: strength and arrival.
    std::vector<std::pair<int, qint64>> reports;
    bool keyChosen = false;
    bool passwordsKept = true;
    // A letter of the word being typed went into a password field.
    bool secretWord = false;
    // Escape is no switch at all.
    bool escapeOff = false;
    std::function<qint64()> clock;
    KeyM keym;
    Predictor predictor;
    Mouse mouseth;
    Webth webth;
    QJoystick joystick;
    Headset headset { Headset::configuredPort() };
    QSound qsound;
    Speech speech;
    QImage frame;
};
