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
    // Runs on the headset's thread; hlk() collects the flag on the GUI thread.
    connect(
        &headset, &Headset::wink, &headset, [this] { hlkf.store(1); }, Qt::DirectConnection);
    connect(
        &webth, &Webth::blink, &webth, [this] { blkf.store(1); }, Qt::DirectConnection);
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
    blkf.store(0);
}

void Wrapper::con(int n)
{
    blkf.store(0);
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

// A button counts once per press, on the first poll at which it has been down the hold time.
int Wrapper::joybt()
{
    if (joystick.getdata() == 0) {
        joyprev = 0;
        return 0;
    }
    if (joyprev == 0) {
        joyprev = 1;
        joySince = clock();
        joyCounted = false;
    }
    if (joyCounted || clock() - joySince < holdMs)
        return 0;
    joyCounted = true;
    return 1;
}

// A key switch counts on release, and only after a hold that long (a tap between two polls is
// none); a release within the polls after the program typed that key is its own, not a press.
int Wrapper::keyReleased(int level, int &prev, qint64 &since, int &ownPolls)
{
    const int before = std::exchange(prev, level);
    if (before != 0 && level == 0)
        since = clock();
    const bool released = before == 0 && level != 0;
    if (ownPolls > 0) {
        --ownPolls;
        if (released) {
            ownPolls = 0;
            return 0;
        }
    }
    return released && clock() - since >= holdMs ? 1 : 0;
}

int Wrapper::joyesc()
{
    const int released = keyReleased(joystick.escape(), escprev, escSince, ownEscapePolls);
    return escapeOff ? 0 : released;
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

int Wrapper::keysw()
{
    return keyReleased(joystick.switchKey(), keyprev, keySince, ownKeyPolls);
}

QPoint Wrapper::pointer()
{
    return mouseth.position();
}

void Wrapper::pointAt(int x, int y)
{
    mouseth.moveTo(x, y);
}

int Wrapper::held()
{
    const qint64 now = clock();
    qint64 longest = 0;
    if (escprev == 0)
        longest = now - escSince;
    if (keyChosen && keyprev == 0)
        longest = std::max(longest, now - keySince);
    if (joyprev != 0)
        longest = std::max(longest, now - joySince);
    longest = std::max<qint64>(longest, webth.closedFor());
    return int(std::min<qint64>(longest, 1 << 30));
}

void Wrapper::setHold(int ms)
{
    holdMs = std::max(0, ms);
    webth.setHold(holdMs);
}

void Wrapper::setKey(const QString &name, bool grab)
{
    keyChosen = joystick.setSwitchKey(name, grab);
    keyprev = 1;
    ownKeyPolls = 0;
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

int Wrapper::blk()
{
    return blkf.exchange(0);
}

int Wrapper::hlk()
{
    return hlkf.exchange(0);
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

void Wrapper::text(const QString &s)
{
    std::wstring units;
    units.reserve(size_t(s.size()));
    for (const QChar c : s)
        units.push_back(wchar_t(c.unicode()));
    keym.text(units);
    if (keyChosen)
        ownKeyPolls = 3;
}

QStringList Wrapper::t9(const QString &prefix)
{
    return predictor.t9(prefix);
}

void Wrapper::keyb(int n)
{
    keym.keyb(n);
    // A typed Escape shows in the global key state within two polls; the third is spare.
    if ((n & 0xff) == 0x1B)
        ownEscapePolls = 3;
    if (keyChosen)
        ownKeyPolls = 3;
}

void Wrapper::special(int n)
{
    keym.special(n);
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

void Wrapper::rank(int order)
{
    predictor.rank(order);
}

void Wrapper::learn(const QString &word)
{
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

QString Wrapper::letters(const QString &prefix)
{
    return predictor.letters(prefix);
}

void Wrapper::sentence()
{
    predictor.sentence();
}

void Wrapper::learning(bool on)
{
    predictor.pause(!on);
}

QString Wrapper::problem()
{
    return QString::fromStdString(Platform::system().problem());
}
