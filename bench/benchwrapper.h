#pragma once

#include "predictor.h"

#include <QImage>
#include <QPoint>
#include <QQuickItem>
#include <QUrl>

#include <functional>

// The bridge as the typing benchmarks give it to the window: predictions from the real
// Predictor, learning paused, and the keys it sends typed into a document the way an
// application would take them. The switch is the Escape key, pressed and released at times the
// benchmark sets on a clock of its own.
class BenchWrapper : public QQuickItem
{
    Q_OBJECT

public:
    explicit BenchWrapper(QQuickItem *parent = nullptr);
    ~BenchWrapper() override;

    // The one made by the window last, for the benchmark to reach.
    static BenchWrapper *last();
    // The simulated time in ms.
    void setClock(std::function<qint64()> now) { clock = std::move(now); }
    // The key goes down at down and up at up; a poll that saw it down takes it on release.
    void press(qint64 down, qint64 up);
    // A switch held, let go at up.
    void release(qint64 up) { upAt = up; }
    // Whether a press set is still to be taken.
    bool pressPending() const { return pending; }
    // How many presses the window took.
    int taken() const { return takenCount; }
    QString document;

signals:
    void vid(const QImage &image);
    void keyMoved();

public slots:
    // Calls that do nothing here.
    void cursor(int) { }
    void coff() { }
    void con(int) { }
    void osstart() { }
    void osstop() { }
    void setjoy(int) { }
    void mouseMove(int) { }
    void plan(int) { }
    void special(int) { }
    void setEscape(int) { }
    void setStepButton(int) { }
    void loadSound(const QUrl &) { }
    void playSound() { }
    void prepareSound() { }
    void cue() { }
    void say(const QString &) { }
    void hush() { }
    void setVoice(const QString &) { }
    void setSpeechRate(int) { }
    void setSpeechVolume(int) { }
    void setHold(int ms) { holdMs = ms; }
    void setKey(const QString &, bool) { }
    void pointAt(int, int) { }
    void forget() { predictor.forget(); }
    // Learning stays paused: every run starts from the same model.
    void learning(bool) { }
    int joynb() { return 0; }
    int joybt() { return 0; }
    QString joynm(int) { return {}; }
    int blk() { return 0; }
    int headnb() { return 0; }
    int hlk() { return 0; }
    int strengh() { return 0; }
    int wink() { return 0; }
    int keysw() { return 0; }
    int held() { return 0; }
    QString pressSource() { return QStringLiteral("escape"); }
    // The switch down now, as the person holds it.
    int switchHeld();
    int moved() { return 0; }
    void keepPasswords(bool) { }
    int secret() { return 0; }
    int speaking() { return 0; }
    QStringList voices() { return {}; }
    QString keyDown() { return {}; }
    QPoint pointer() { return {}; }
    QString problem() { return {}; }
    QString setupCommand() { return {}; }
    int canType() { return 1; }
    int keysReadable() { return 1; }
    QUrl helpPage(const QString &) { return {}; }
    int modifier() { return mode; }

    int joyesc();
    // The switch as a window that asks for presses by source sees it: how long ago the press
    // went down, -1 for none. Taken when the switch goes down, or with pressDown off at its
    // release after the hold.
    int press(const QString &source);
    void setPressDown(bool on) { pressDown = on; }
    void setDebounce(int) { }
    void setBlinkThreshold(int) { }
    void setHoldCancels(bool) { }
    void lang(int n) { predictor.lang(n); }
    void rank(int order) { predictor.rank(order); }
    void learn(const QString &word) { predictor.learn(word); }
    void sentence() { predictor.sentence(); }
    QStringList t9(const QString &prefix) { return predictor.t9(prefix); }
    QStringList next() { return predictor.next(); }
    QString letters(const QString &prefix, const QStringList &offered = {})
    {
        return predictor.letters(prefix, offered);
    }
    void text(const QString &s);
    void keyb(int n);
    void modif(int n);

private:
    // What a character types with the modifier mode armed.
    QChar typed(QChar c) const;

    Predictor predictor;
    std::function<qint64()> clock;
    qint64 downAt = -1, upAt = -1, since = 0;
    bool pending = false, seenDown = false, pressDown = true, takenDown = false;
    int takenCount = 0, holdMs = 0, mode = 0;
};
