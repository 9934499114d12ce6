#pragma once

#include <QObject>
#include <QString>

struct _SDL_Joystick;
class Platform;

// Game-pad buttons through SDL, and the global Escape key; both read as levels.
class QJoystick : public QObject
{
    Q_OBJECT
public:
    explicit QJoystick(Platform *platform = nullptr);

public slots:
    int availableJoysticks();
    int currentJoystick();
    QString joystickName(int index);
    int joystickNumButtons();
    int getdata();
    int escape();
    void stop();
    void setJoystick(int index);

private:
    void pump();

    _SDL_Joystick *joy = nullptr;
    Platform &platform;
};
