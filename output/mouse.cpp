#include "mouse.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

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
    QCursor::setPos(x, y);
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
    const QPoint at = QCursor::pos();
    QScreen *screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    switch (code) {
    case 1:
        if (QGuiApplication::screenAt(at - QPoint(0, 1)))
            QCursor::setPos(at.x(), at.y() - 1);
        break;
    case 2:
        if (at.x() - area.x() < area.width() - 10)
            QCursor::setPos(at.x() + 1, at.y());
        break;
    case 3:
        if (at.y() - area.y() < area.height() - 20)
            QCursor::setPos(at.x(), at.y() + 1);
        break;
    case 4:
        if (QGuiApplication::screenAt(at - QPoint(1, 0)))
            QCursor::setPos(at.x() - 1, at.y());
        break;
    default:
        break;
    }
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
    // Asking where the pointer is makes the window system finish the last move first, so the
    // button event that follows cannot overtake it.
    (void)QCursor::pos();
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
