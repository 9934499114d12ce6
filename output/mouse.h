#pragma once

#include <QThread>

class Platform;
class QScreen;

// Moves the pointer one pixel at a time and clicks where it stands.
class Mouse : public QThread
{
    Q_OBJECT
public:
    explicit Mouse(Platform *platform = nullptr);
    ~Mouse() override;

public slots:
    void start(int code);

private:
    QThread workerThread;
    QScreen *screen;
    Platform &platform;
};
