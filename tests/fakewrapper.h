#pragma once

#include <QImage>
#include <QQuickItem>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

// Stands in for the native bridge in front-end tests: records every call and hands out the
// switch events a test queues, once each, as the real bridge does.
class FakeWrapper : public QQuickItem
{
    Q_OBJECT
    // Calls in order, as "name(args)".
    Q_PROPERTY(QStringList calls READ calls NOTIFY callsChanged)
    // Queued presses: each poll of the matching source takes one.
    Q_PROPERTY(int escPresses MEMBER escPresses)
    Q_PROPERTY(int joyPresses MEMBER joyPresses)
    Q_PROPERTY(int keyPresses MEMBER keyPresses)
    Q_PROPERTY(int blinks MEMBER blinks)
    Q_PROPERTY(int headBlinks MEMBER headBlinks)
    Q_PROPERTY(QStringList joysticks MEMBER joysticks)
    Q_PROPERTY(bool headset MEMBER headset)
    Q_PROPERTY(int strength MEMBER strength)
    Q_PROPERTY(int winkValue MEMBER winkValue)
    // What t9 answers, whatever the prefix.
    Q_PROPERTY(QStringList predictions MEMBER predictions)

public:
    explicit FakeWrapper(QQuickItem *parent = nullptr);
    QStringList calls() const { return m_calls; }
    Q_INVOKABLE void clearCalls();
    // The calls whose name is one of names, in order.
    Q_INVOKABLE QStringList callsOf(const QStringList &names) const;

signals:
    void closed();
    void vid(const QImage &image);
    void callsChanged();

public slots:
    void cursor(int n) { note("cursor", n); }
    void coff() { note("coff"); }
    void con(int n) { note("con", n); }
    void osstart() { note("osstart"); }
    void osstop() { note("osstop"); }
    int joynb() { return int(joysticks.size()); }
    int joybt() { return take(joyPresses); }
    int joyesc() { return take(escPresses); }
    void setjoy(int n) { note("setjoy", n); }
    QString joynm(int n) { return joysticks.value(n); }
    void mouseMove(int n) { note("mouseMove", n); }
    int blk() { return take(blinks); }
    int headnb() { return headset ? 1 : 0; }
    int hlk() { return take(headBlinks); }
    int strengh() { return strength; }
    int wink() { return winkValue; }
    void lang(int n) { note("lang", n); }
    void plan(int n) { note("plan", n); }
    void text(const QString &s) { note("text", s); }
    QStringList t9(const QString &prefix);
    void keyb(int n) { note("keyb", n); }
    void special(int n) { note("special", n); }
    void modif(int n) { note("modif", n); }
    void loadSound(const QUrl &url) { note("loadSound", url.toString()); }
    void playSound() { note("playSound"); }
    void stopSound() { note("stopSound"); }
    void rank(int order) { note("rank", order); }
    void learn(const QString &word) { note("learn", word); }
    void forget() { note("forget"); }
    void setHold(int ms) { note("setHold", ms); }
    void setKey(const QString &name, bool grab)
    {
        note("setKey", name + u',' + (grab ? u'1' : u'0'));
    }
    int keysw() { return take(keyPresses); }

private:
    void note(const QString &name, const QVariant &arg = QVariant());
    static int take(int &queue);

    QStringList m_calls;
    int escPresses = 0;
    int joyPresses = 0;
    int keyPresses = 0;
    int blinks = 0;
    int headBlinks = 0;
    QStringList joysticks;
    bool headset = false;
    int strength = 0;
    int winkValue = 0;
    QStringList predictions { QString(), QString(), QString(), QString(), QString() };
};
