#pragma once

#include "keym.h"
#include "pressrules.h"
#include "recordingplatform.h"

#include <QImage>
#include <QQuickItem>
#include <QUrl>

// Stands in for the native bridge in front-end tests: every call main.qml makes is recorded as
// "name(args)", the switch's events pass the real press rules, on a clock of the test's, and
// keys the real injector, typing at the recording platform.
class FakeWrapper : public QQuickItem
{
    Q_OBJECT
    // Every call so far, in order.
    Q_PROPERTY(QStringList calls MEMBER calls)
    // Queued taps: each poll takes one of Escape's and the switch key's, and one of the source's
    // device; escDown holds Escape down. clock: the rules' time (ms).
    Q_PROPERTY(int escPresses MEMBER escPresses)
    Q_PROPERTY(int joyPresses MEMBER joyPresses)
    Q_PROPERTY(int keyPresses MEMBER keyPresses)
    Q_PROPERTY(int stepPresses MEMBER stepPresses) // the pad's step button
    Q_PROPERTY(int buttonHeld MEMBER buttonHeld) // what padButton answers
    Q_PROPERTY(int blinks MEMBER blinks)
    Q_PROPERTY(int headBlinks MEMBER headBlinks)
    Q_PROPERTY(bool escDown MEMBER escDown)
    Q_PROPERTY(double clock MEMBER ms)
    Q_PROPERTY(QStringList joysticks MEMBER joysticks)
    Q_PROPERTY(bool headset MEMBER headset)
    Q_PROPERTY(int strength MEMBER strength)
    Q_PROPERTY(int winkValue MEMBER winkValue)
    // Where the pointer is, as the bridge reports it.
    Q_PROPERTY(QPoint pointerAt MEMBER pointerAt)
    // Queued caret moves (a click elsewhere): each moved() call takes one.
    Q_PROPERTY(int caretMoves MEMBER caretMoves)
    Q_PROPERTY(QString keyHeld MEMBER keyHeld)
    // What problem and setupCommand answer.
    Q_PROPERTY(QString problemText MEMBER problemText)
    Q_PROPERTY(QString setupText MEMBER setupText)
    Q_PROPERTY(bool typing MEMBER typing) // what canType answers
    Q_PROPERTY(bool keysRead MEMBER keysRead) // what keysReadable answers
    // What t9 answers, whatever the prefix; what next and letters answer.
    Q_PROPERTY(QStringList predictions MEMBER predictions)
    Q_PROPERTY(QStringList nextWords MEMBER nextWords)
    Q_PROPERTY(QString likelyLetters MEMBER likelyLetters)
    // A password field has the focus.
    Q_PROPERTY(bool password MEMBER password)

public:
    // One keyboard per process, as the injector keeps it: a window starts with no modifier.
    FakeWrapper() { keym.modif(0); }
    Q_INVOKABLE void clearCalls() { calls.clear(); }

signals:
    void vid(const QImage &image);
    void keyMoved();

public slots:
    // Calls only recorded, with their one argument if any.
#define RECORDED(name) \
    void name(const QVariant &a = {}) { note(QStringLiteral(#name), a); }
    RECORDED(cursor) RECORDED(coff) RECORDED(con) RECORDED(osstart) RECORDED(osstop)
    RECORDED(setjoy) RECORDED(lang) RECORDED(plan) RECORDED(special) RECORDED(setEscape)
    RECORDED(loadSound) RECORDED(playSound) RECORDED(prepareSound) RECORDED(cue) RECORDED(say)
    RECORDED(hush) RECORDED(setVoice) RECORDED(setSpeechRate) RECORDED(setSpeechVolume)
    RECORDED(rank) RECORDED(learn) RECORDED(forget) RECORDED(sentence)
    RECORDED(learning) RECORDED(holdKeyboard) RECORDED(keepPasswords) RECORDED(setStepButton)
#undef RECORDED
    void text(const QString &s) { note("text", s), keym.text(s.toStdWString()); }
    void keyb(int n) { note("keyb", n), keym.keyb(n); }
    void modif(int n) { note("modif", n), keym.modif(n); }
    int modifier() { return KeyM::modMode(); }
    int moved() { return take(caretMoves); }
    QUrl helpPage(const QString &language) { return QUrl(QStringLiteral("file:///help/") + language); }
    int speaking() { return 0; }
    int secret() { return password ? 1 : 0; }
    QStringList voices() { return { QStringLiteral("slt") }; }
    // The key held down now, as a test presses it.
    QString keyDown() { return keyHeld; }
    int padButton() { return buttonHeld; }
    void setKey(const QString &name, bool grab) { note("setKey", name + (grab ? ",1" : ",0")); }
    QStringList next() { return note("next"), nextWords; }
    QString letters(const QString &p, const QStringList &offered = {})
    {
        return note("letters", p + u'|' + offered.join(u',')), likelyLetters;
    }
    QStringList t9(const QString &prefix) { return note("t9", prefix), predictions; }
    QPoint pointer() { return pointerAt; }
    void pointAt(int x, int y) { note("pointAt", QStringLiteral("%1,%2").arg(x).arg(y)); }
    // The rules' settings, recorded and applied.
    void setHold(int ms) { note("setHold", ms), rules.setHold(ms); }
    void setDebounce(int ms) { note("setDebounce", ms), rules.setDebounce(ms); }
    void setPressDown(bool on) { note("setPressDown", on), rules.setPressDown(on); }
    void setBlinkThreshold(int s) { note("setBlinkThreshold", s), rules.setBlinkThreshold(s); }
    void setHoldCancels(bool on) { rules.setHoldCancels(on); }
    int press(const QString &source)
    {
        const qint64 now = qint64(ms);
        rules.level(PressRules::Escape, escDown, take(escPresses), now);
        rules.level(PressRules::Key, false, take(keyPresses), now);
        rules.level(PressRules::Pad, false, source == u"stick" && take(joyPresses), now);
        rules.level(PressRules::Camera, false, take(blinks) && source == u"webcam", now);
        rules.level(PressRules::Step, false, take(stepPresses), now);
        if (source == u"headset" && take(headBlinks))
            rules.report(winkValue, now, now);
        return rules.take(now);
    }
    QString pressSource()
    {
        const int from = rules.takenFrom();
        return QString::fromLatin1(from == PressRules::Key ? "key" : from == PressRules::Step ? "step" : "escape");
    }
    int switchHeld() { return rules.anyDown() ? 1 : 0; }
    int joynb() { return int(joysticks.size()); }
    QString joynm(int n) { return joysticks.value(n); }
    QString problem() { return problemText; }
    QString setupCommand() { return setupText; }
    int canType() { return typing; }
    int keysReadable() { return keysRead; }
    int headnb() { return headset ? 1 : 0; }
    int strengh() { return strength; }
    int wink() { return winkValue; }

private:
    void note(const QString &n, const QVariant &a = {}) { calls << n + u'(' + a.toString() + u')'; }
    static int take(int &queue) { return queue > 0 ? (--queue, 1) : 0; }

    QStringList calls;
    QString keyHeld;
    int caretMoves = 0;
    int escPresses = 0, joyPresses = 0, keyPresses = 0, stepPresses = 0, blinks = 0, headBlinks = 0;
    int buttonHeld = -1;
    QStringList joysticks;
    bool headset = false;
    int strength = 0, winkValue = 0;
    bool escDown = false, password = false;
    double ms = 0;
    PressRules rules;
    QPoint pointerAt;
    QStringList predictions = QStringList(5, QString());
    QStringList nextWords = QStringList(5, QString());
    QString likelyLetters;
    QString problemText;
    QString setupText;
    RecordingPlatform platform;
    KeyM keym { &platform };
    bool typing = true, keysRead = true;
};
