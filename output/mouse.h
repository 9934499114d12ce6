#pragma once

#include <QPoint>
#include <QThread>

#include "platform.h"

// Moves the pointer one pixel at a time and clicks where it stands.
class Mouse : public QThread
{
    Q_OBJECT
public:
    explicit Mouse(Platform *platform = nullptr);
    ~Mouse() override;

    // Lets go of the left button while a held click (code 13) still holds it.
    void release();
    // Puts the pointer at a point of the virtual desktop, in Qt's pixels (point mode's result).
    void moveTo(int x, int y);
    // Where the pointer is; the origin when the system does not say.
    QPoint position() const;

public slots:
    void start(int code);

private:
    void move(int code);
    void button(Platform::Button which, bool up);

    QThread workerThread;
    Platform &platform;
    // Pressed by code 13 and not released since; only the GUI thread touches it.
    bool held = false;
};
