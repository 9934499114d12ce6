#include "benchwrapper.h"

namespace {
BenchWrapper *lastMade = nullptr;

// The key the window sends for Backspace: it speaks Windows codes wherever the injector does.
#ifdef Q_OS_MACOS
constexpr int eraseCode = 51;
#else
constexpr int eraseCode = 8;
#endif
} // namespace

BenchWrapper::BenchWrapper(QQuickItem *parent)
    : QQuickItem(parent)
{
    predictor.pause(true);
    lastMade = this;
}

BenchWrapper::~BenchWrapper()
{
    if (lastMade == this)
        lastMade = nullptr;
}

BenchWrapper *BenchWrapper::last()
{
    return lastMade;
}

void BenchWrapper::press(qint64 down, qint64 up)
{
    downAt = down;
    upAt = up;
    pending = true;
}

// As the program's key switch: counted on release, and only when a poll saw the key down that
// long before.
int BenchWrapper::joyesc()
{
    const qint64 now = clock ? clock() : 0;
    if (!pending)
        return 0;
    if (now >= downAt && now < upAt) {
        if (!seenDown)
            since = now;
        seenDown = true;
        return 0;
    }
    if (now < upAt)
        return 0;
    // Released: a key no poll saw down is lost, as it is in the program.
    pending = false;
    const bool counted = seenDown && now - since >= holdMs;
    seenDown = false;
    takenCount += counted ? 1 : 0;
    return counted ? 1 : 0;
}

int BenchWrapper::switchHeld()
{
    const qint64 now = clock ? clock() : 0;
    return pending && now >= downAt && now < upAt ? 1 : 0;
}

int BenchWrapper::press(const QString &)
{
    const qint64 now = clock ? clock() : 0;
    if (!pressDown)
        return joyesc() ? int(now - since) : -1;
    if (!pending)
        return -1;
    if (now >= downAt && now < upAt) {
        if (!seenDown)
            since = now;
        seenDown = true;
        if (takenDown || now - since < holdMs)
            return -1;
        takenDown = true;
        ++takenCount;
        return int(now - since);
    }
    // Up again: the next press may come. One no poll saw down is lost.
    if (now >= upAt) {
        pending = seenDown = takenDown = false;
    }
    return -1;
}

// The injector's rule: Ctrl, Windows and Alt make a chord of the first character and Shift
// capitalises it, each then used up; Caps (5) capitalises every character.
void BenchWrapper::text(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (i > 0 || mode == 0 || mode >= 4)
            document += mode >= 4 ? typed(s[i]) : s[i];
        if (mode <= 4)
            mode = 0;
    }
}

// A key as the application takes it; a one-shot modifier goes with it.
void BenchWrapper::keyb(int n)
{
    const bool chord = mode == 1 || mode == 2 || mode == 3;
    if (mode <= 4)
        mode = 0;
    if (chord)
        return;
    if (n == eraseCode)
        document.chop(1);
    else if (n == 32)
        document += u' ';
    else if (n == 13)
        document += u'\n';
    else if (n == 188)
        document += typed(u',');
    else if (n == 110)
        document += u'.'; // the keypad's point, which Shift leaves as it is
}

void BenchWrapper::modif(int n)
{
    mode = n == 5 && mode != 0 ? 0 : n;
}

// Shift on a US layout: letters become capitals, the other keys give their upper signs.
QChar BenchWrapper::typed(QChar c) const
{
    if (mode < 4)
        return c;
    if (c.isLetter())
        return c.toUpper();
    static const QString lower = QStringLiteral("`1234567890-=[]\\;',./"),
                         upper = QStringLiteral("~!@#$%^&*()_+{}|:\"<>?");
    const qsizetype at = lower.indexOf(c);
    return at >= 0 ? upper[at] : c;
}
