#include "mouse.h"

#include "platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

Mouse::Mouse(Platform *platform)
    : screen(QGuiApplication::primaryScreen())
    , platform(platform ? *platform : Platform::system())
{
    moveToThread(&workerThread);
    workerThread.start(QThread::InheritPriority);
}

Mouse::~Mouse()
{
    workerThread.quit();
    workerThread.wait();
}

void Mouse::start(int code)
{
    using Button = Platform::Button;
    const QPoint at = QCursor::pos();
    const QRect area = screen ? screen->geometry() : QRect();
    switch (code) {
    case 1:
        if (at.y() > 0)
            QCursor::setPos(at.x(), at.y() - 1);
        break;
    case 2:
        if (at.x() < area.width() - 10)
            QCursor::setPos(at.x() + 1, at.y());
        break;
    case 3:
        if (at.y() < area.height() - 20)
            QCursor::setPos(at.x(), at.y() + 1);
        break;
    case 4:
        if (at.x() > 0)
            QCursor::setPos(at.x() - 1, at.y());
        break;
    case 10:
        platform.pointerButton(Button::Left, false);
        platform.pointerButton(Button::Left, true);
        break;
    case 11:
        platform.pointerButton(Button::Right, false);
        platform.pointerButton(Button::Right, true);
        break;
    case 12:
        for (int i = 0; i < 2; ++i) {
            platform.pointerButton(Button::Left, false);
            platform.pointerButton(Button::Left, true);
        }
        break;
    case 13:
        platform.pointerButton(Button::Left, false);
        break;
    case 14:
        platform.pointerButton(Button::Left, true);
        break;
    default:
        break;
    }
}
