#include "mouse.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// The platform speaks the system's own pixels, Qt's screens device-independent ones; a screen's
// top left corner is the same in both.
QScreen *screenOfNative(QPoint native)
{
    const auto screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        const QRect area = screen->geometry();
        const QSizeF size = QSizeF(area.size()) * screen->devicePixelRatio();
        if (QRectF(area.topLeft(), size).contains(native))
            return screen;
    }
    return nullptr;
}

} // namespace

Mouse::Mouse(Platform *platform)
    : platform(platform ? *platform : Platform::system())
{
    moveToThread(&workerThread);
    workerThread.start(QThread::InheritPriority);
}

Mouse::~Mouse()
{
    release();
    workerThread.quit();
    workerThread.wait();
}

void Mouse::release()
{
    if (held)
        button(Platform::Button::Left, true);
}

void Mouse::moveTo(int x, int y)
{
    QPoint native(x, y);
    if (const QScreen *screen = QGuiApplication::screenAt(native)) {
        const QPoint corner = screen->geometry().topLeft();
        native = corner + (native - corner) * screen->devicePixelRatio();
    }
    platform.pointerMoveTo(native.x(), native.y());
}

QPoint Mouse::position() const
{
    QPoint native;
    if (!platform.pointerPosition(&native.rx(), &native.ry()))
        return {};
    const QScreen *screen = screenOfNative(native);
    if (!screen)
        return native;
    const QPoint corner = screen->geometry().topLeft();
    return corner + (native - corner) / screen->devicePixelRatio();
}

void Mouse::button(Platform::Button which, bool up)
{
    platform.pointerButton(which, up);
    if (which == Platform::Button::Left)
        held = !up;
}

// The screen is looked up on every move, never kept: a monitor can be unplugged at any time.
// Right and down stop 10 and 20 pixels short of the far edges of the screen under the
// pointer; left and up go on while there is a screen to go to, so the pointer can come back
// from a second monitor.
void Mouse::move(int code)
{
    QPoint native;
    if (!platform.pointerPosition(&native.rx(), &native.ry()))
        return;
    QScreen *screen = screenOfNative(native);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    const QPoint at = area.topLeft() + ((native - area.topLeft()) / ratio);
    QPoint to = at;
    switch (code) {
    case 1:
        if (QGuiApplication::screenAt(at - QPoint(0, 1)))
            to.ry() -= 1;
        break;
    case 2:
        if (at.x() - area.x() < area.width() - 10)
            to.rx() += 1;
        break;
    case 3:
        if (at.y() - area.y() < area.height() - 20)
            to.ry() += 1;
        break;
    case 4:
        if (QGuiApplication::screenAt(at - QPoint(1, 0)))
            to.rx() -= 1;
        break;
    default:
        break;
    }
    if (to == at)
        return;
    // One whole step of the system's pixels at least, whatever the scale.
    const QPoint step = (to - at) * ratio;
    platform.pointerMoveBy(step.x() ? step.x() : to.x() - at.x(),
                           step.y() ? step.y() : to.y() - at.y());
}

void Mouse::start(int code)
{
    using Button = Platform::Button;
    if (code >= 1 && code <= 4) {
        move(code);
        return;
    }
    if (code < 10 || code > 14)
        return;
    switch (code) {
    case 10:
        button(Button::Left, false);
        button(Button::Left, true);
        break;
    case 11:
        button(Button::Right, false);
        button(Button::Right, true);
        break;
    case 12:
        for (int i = 0; i < 2; ++i) {
            button(Button::Left, false);
            button(Button::Left, true);
        }
        break;
    case 13:
        button(Button::Left, false);
        break;
    case 14:
        button(Button::Left, true);
        break;
    default:
        break;
    }
}
