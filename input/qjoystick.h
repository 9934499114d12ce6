#pragma once

#include <QObject>
#include <QString>

struct _SDL_Joystick;
class Platform;

// Game-pad buttons through SDL, the global Escape key and a chosen switch key; all read as
// levels.
class QJoystick : public QObject
{
    Q_OBJECT
public:
    explicit QJoystick(Platform *platform = nullptr);

    // The user's own switch key by its X keysym name (empty: none), taken from every
    // application when grab is set; and its level as escape() gives Escape's.
    bool setSwitchKey(const QString &name, bool grab);
    int switchKey();
    // Escape's and the switch key's states, as Platform::escapeState gives them, in one reading.
    void keyStates(int *escape, int *key);
    // Escape taken from every application while it is a switch (see Platform).
    void setEscapeGrab(bool grab);
    // A pad button that steps in two-switch scanning, no longer one of the pick switch's (-1:
    // none); stepDown() is its level at the last getdata().
    void setStepButton(int button) { stepChosen = button; }
    int stepButton() const { return stepChosen; }
    bool stepDown() const { return stepLevel; }

signals:
    // Escape or the switch key has just gone down or up: a poll now sees it without waiting.
    void keyMoved();

public slots:
    int availableJoysticks();
    int currentJoystick();
    QString joystickName(int index);
    int joystickNumButtons();
    int getdata();
    // The lowest button held down now, -1 while none is: the step button is chosen by pressing.
    int buttonDown();
    int escape();
    void stop();
    void setJoystick(int index);

private:
    void pump();
    int find() const;

    _SDL_Joystick *joy = nullptr;
    // The count has pumped since the last button reading: the tick's pump is done.
    bool fresh = false;
    int stepChosen = -1;
    bool stepLevel = false;
    Platform &platform;
};
