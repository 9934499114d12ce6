#include "wrapper.h"

#include "framepainter.h"
#include "platform.h"
#include "privatefile.h"
#include "signinlaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

using namespace Qt::StringLiterals;

Wrapper::Wrapper(QQuickItem *parent)
    : QQuickPaintedItem(parent)
    , clock([] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    })
{
    // The strength is read on the headset's thread, with its report; the press is timed here.
    connect(
        &headset, &Headset::wink, &headset,
        [this] {
            QMetaObject::invokeMethod(
                this, [this, strength = headset.bstrength.load()] { headsetReport(strength); },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    connect(&webth, &Webth::blink, this, [this] {
        blinked = true;
        blinkAt = clock();
    });
    connect(&joystick, &QJoystick::keyMoved, this, &Wrapper::keyMoved);
    connect(
        &webth, &Webth::vid, &webth, [this](uchar *pixels) { showFrame(pixels); },
        Qt::DirectConnection);
}

Wrapper::~Wrapper()
{
    // A held click must not outlive the program: the user may have no other way to let go.
    mouseth.release();
    webth.stop();
    joystick.stop();
    headset.stop();
    speech.stop();
    predictor.wait();
    // Worker threads are left running; the process ends here, with success, and without the
    // libraries' own teardown: Qt 6.4's PulseAudio back end sometimes aborts in it. What the
    // platform holds is let go first, as its destructor would.
    Platform::system().releaseAll();
    std::fflush(nullptr);
    std::_Exit(0);
}

void Wrapper::showFrame(uchar *pixels)
{
    frame = QImage(pixels, 320, 240, 960, QImage::Format_BGR888);
    emit vid(frame);
    update();
}

void Wrapper::paint(QPainter *painter)
{
    paintStretched(painter, frame, size());
}

void Wrapper::cursor(int n)
{
    mouseth.start(n);
}

void Wrapper::coff()
{
    webth.stop();
    // A blink from a camera that is no longer the switch is no press.
    blinked = false;
}

void Wrapper::con(int n)
{
    blinked = false;
    webth.open(n);
}

void Wrapper::osstart()
{
    SignInLaunch::add();
}

void Wrapper::osstop()
{
    SignInLaunch::remove();
}

int Wrapper::joynb()
{
    return joystick.availableJoysticks();
}

int Wrapper::press(const QString &source)
{
    const qint64 now = clock();
    int escape = 0, key = 0;
    joystick.keyStates(&escape, &key);
    const auto feed = [&](PressRules::Source which, bool on, int state) {
        rules.level(which, on && (state & 0x8000), on && (state & 1), now, -1, on && (state & 2));
    };
    feed(PressRules::Escape, !escapeOff, escape);
    feed(PressRules::Key, keyChosen, key);
    // The pad is read for its pick buttons, and for the step button whatever the source.
    const bool stick = source == u"stick"_s, stepping = joystick.stepButton() >= 0;
    const bool picked = (stick || stepping) && joystick.getdata() != 0;
    feed(PressRules::Pad, stick && picked, 0x8000);
    feed(PressRules::Step, stepping && joystick.stepDown(), 0x8000);
    const bool camera = source == u"webcam"_s;
    const int closed = camera ? webth.closedFor() : -1;
    rules.level(PressRules::Camera, closed >= 0, camera && std::exchange(blinked, false), now,
                closed >= 0 ? now - closed : blinkAt);
    blinked = false;
    if (source == u"headset"_s) {
        for (const auto &[strength, at] : reports)
            rules.report(strength, at, now);
    }
    reports.clear();
    const int taken = rules.take(now);
    if (!heldOutput.isEmpty() && !Platform::system().grabbedKeyHeld()) {
        for (const auto &send : std::exchange(heldOutput, {}))
            send();
    }
    return taken;
}

QString Wrapper::pressSource() const
{
    static const char *const names[] = { "escape", "key", "pad", "camera", "step", "headset" };
    return QString::fromLatin1(names[std::clamp(rules.takenFrom(), 0, int(PressRules::Sources))]);
}

int Wrapper::switchHeld() const
{
    return rules.anyDown() ? 1 : 0;
}

void Wrapper::headsetReport(int strength)
{
    // Bounded: nothing may pile up while the front end does not poll.
    if (reports.size() < 64)
        reports.emplace_back(strength, clock());
    // Taken at once, not at the poll's next tick up to 32 ms later.
    emit keyMoved();
}

void Wrapper::setDebounce(int ms)
{
    rules.setDebounce(ms);
}

void Wrapper::setBlinkThreshold(int strength)
{
    rules.setBlinkThreshold(strength);
}

void Wrapper::setPressDown(bool on)
{
    rules.setPressDown(on);
}

void Wrapper::setHoldCancels(bool on)
{
    rules.setHoldCancels(on);
}

void Wrapper::setEscape(int mode)
{
    escapeOff = mode == 2;
    joystick.setEscapeGrab(mode == 0);
}

int Wrapper::modifier()
{
    return KeyM::modMode();
}

int Wrapper::moved()
{
    return keym.caretMayHaveMoved() ? 1 : 0;
}

QUrl Wrapper::helpPage(const QString &language)
{
    static const QRegularExpression code(u"^[a-z]{2}$"_s);
    QString name
        = u":/help/"_s + (code.match(language).hasMatch() ? language : u"en"_s) + u".html"_s;
    if (!QFile::exists(name))
        name = u":/help/en.html"_s;
    QFile page(name);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString out = folder + u"/help-"_s + QFileInfo(name).fileName();
    std::string why = "the page cannot be read";
    if (!page.open(QIODevice::ReadOnly)
        || !PrivateFile::write(out.toStdString(), page.readAll().toStdString(), &why)) {
        qWarning("Kelo#: the help page could not be written to %s (%s)", qPrintable(folder),
                 why.c_str());
        return {};
    }
    return QUrl::fromLocalFile(out);
}

QPoint Wrapper::pointer()
{
    return mouseth.position();
}

void Wrapper::pointAt(int x, int y)
{
    mouseth.moveTo(x, y);
}

void Wrapper::setHold(int ms)
{
    rules.setHold(ms);
}

void Wrapper::setKey(const QString &name, bool grab)
{
    keyChosen = joystick.setSwitchKey(name, grab);
}

void Wrapper::setStepButton(int button)
{
    // Buttons SDL can number; anything else is none.
    joystick.setStepButton(button >= 0 && button < 256 ? button : -1);
}

int Wrapper::padButton()
{
    return joystick.buttonDown();
}

void Wrapper::setjoy(int n)
{
    joystick.setJoystick(n);
}

QString Wrapper::joynm(int n)
{
    return joystick.joystickName(n);
}

void Wrapper::mouseMove(int n)
{
    mouseth.start(n);
}

int Wrapper::headnb()
{
    return headset.isconnected() ? 1 : 0;
}

int Wrapper::strengh()
{
    return headset.quality;
}

int Wrapper::wink()
{
    return headset.bstrength;
}

void Wrapper::lang(int n)
{
    predictor.lang(n);
    static const char *const codes[] = { "en", "fr", "es", "de", "hr", "it", "zh", "ja" };
    if (n >= 1 && n <= 8)
        speech.setLanguage(QLatin1String(codes[n - 1]));
}

void Wrapper::plan(int n)
{
    keym.chP(n);
}

void Wrapper::output(std::function<void()> send)
{
    // A person presses at most a few times a second: a bound that no use reaches.
    if (heldOutput.size() >= 1024)
        return;
    if (heldOutput.isEmpty() && !Platform::system().grabbedKeyHeld())
        send();
    else
        heldOutput.append(std::move(send));
}

void Wrapper::text(const QString &s)
{
    std::wstring units;
    units.reserve(size_t(s.size()));
    for (const QChar c : s)
        units.push_back(wchar_t(c.unicode()));
    if (secret())
        secretWord = true;
    output([this, units] {
        keym.text(units);
        if (keyChosen)
            rules.ownTyping(PressRules::Key);
    });
}

QStringList Wrapper::t9(const QString &prefix)
{
    return predictor.t9(prefix);
}

void Wrapper::keyb(int n)
{
    output([this, n] {
        keym.keyb(n);
        if ((n & 0xff) == 0x1B)
            rules.ownTyping(PressRules::Escape);
        if (keyChosen)
            rules.ownTyping(PressRules::Key);
    });
}

void Wrapper::special(int n)
{
    output([this, n] { keym.special(n); });
}

void Wrapper::modif(int n)
{
    keym.modif(n);
}

void Wrapper::loadSound(const QUrl &url)
{
    qsound.loadWave(url);
}

void Wrapper::playSound()
{
    qsound.play();
}

void Wrapper::prepareSound()
{
    qsound.prepare();
}

void Wrapper::cue()
{
    qsound.cue();
}

void Wrapper::say(const QString &text)
{
    speech.say(text);
}

void Wrapper::hush()
{
    speech.stop();
}

int Wrapper::speaking()
{
    return speech.speaking() ? 1 : 0;
}

QStringList Wrapper::voices()
{
    return speech.voices();
}

void Wrapper::setVoice(const QString &name)
{
    speech.setVoice(name);
}

void Wrapper::setSpeechRate(int rate)
{
    speech.setRate(rate);
}

void Wrapper::setSpeechVolume(int volume)
{
    speech.setVolume(volume);
}

QString Wrapper::keyDown()
{
    return QString::fromStdString(Platform::system().keyDown());
}

void Wrapper::holdKeyboard(bool on)
{
    Platform::system().holdKeyboard(on);
}

void Wrapper::rank(int order)
{
    predictor.rank(order);
}

void Wrapper::learn(const QString &word)
{
    // Nor is a password the context of the word after it.
    if (std::exchange(secretWord, false) || secret())
        predictor.sentence();
    else
        predictor.learn(word);
}

void Wrapper::forget()
{
    predictor.forget();
}

QStringList Wrapper::next()
{
    return predictor.next();
}

QString Wrapper::letters(const QString &prefix, const QStringList &offered)
{
    return predictor.letters(prefix, offered);
}

void Wrapper::sentence()
{
    secretWord = false;
    predictor.sentence();
}

void Wrapper::learning(bool on)
{
    predictor.pause(!on);
}

void Wrapper::keepPasswords(bool on)
{
    passwordsKept = on;
    // The focus is followed from now on, so the first field is known when it is reached.
    if (on)
        Platform::system().passwordFocused();
}

int Wrapper::secret()
{
    return passwordsKept && Platform::system().passwordFocused() ? 1 : 0;
}

QString Wrapper::problem()
{
    return QString::fromStdString(Platform::system().problem());
}

QString Wrapper::setupCommand()
{
    return QString::fromStdString(Platform::system().setupCommand());
}

int Wrapper::canType()
{
    return Platform::system().canType() ? 1 : 0;
}

int Wrapper::keysReadable()
{
    return Platform::system().switchKeysReadable() ? 1 : 0;
}
