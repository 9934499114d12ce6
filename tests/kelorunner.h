#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <chrono>
#include <csignal>
#include <functional>

typedef struct _XDisplay Display;
using Window = unsigned long;

// In a test that keeps a QString why: a step that fails says why.
#define STEP(done) QVERIFY2(done, qPrintable(why))

// The real kelo as a user meets it: started in a HOME of its own (killed with this object), found
// by title and process, read through its pixels, driven by XTest in root coordinates. Every wait
// is bounded; on failure why says what was seen.
class KeloRunner
{
public:
    KeloRunner(Display *display, const QString &home)
        : dpy(display)
        , homeDir(home)
    {
    }

    static Display *openDisplay(QString *why); // nullptr without a window manager

    bool writeSettings(const QMap<QString, QString> &values) const;
    // Set in kelo's environment from the next start on (a sound server of the test's own).
    void setEnvironment(const QString &name, const QString &value) { extraEnv[name] = value; }
    QString setting(const QString &key) const;
    // Returns once the window is mapped and painted, looked for every stepMs.
    bool start(QString *why, int stepMs = 50);
    // Another start beside the running one: true once it ended by itself with status 0.
    bool startSecond(QString *output) const;
    // The build's kelo by default; wine and a kelo.exe for the Windows package.
    void setProgram(const QString &path, const QStringList &args = {})
    {
        program = path;
        arguments = args;
    }
    bool running() const { return process.state() != QProcess::NotRunning; }
    qint64 pid() const { return process.processId(); }
    QStringList warnings() const; // what Qt printed as warnings or worse since start
    QString output() const { return log(logStart); } // all kelo printed since start
    bool waitForCleanExit(int timeoutMs, QString *why); // status 0, and no warning from Qt
    void sendSignal(int signal) const { running() && ::kill(pid_t(process.processId()), signal); }
    void closeByWindowManager() const;
    // Closed as by the window's close button, then waitForCleanExit.
    bool close(QString *why, int timeoutMs = 5000)
    {
        return closeByWindowManager(), waitForCleanExit(timeoutMs, why);
    }
    QRect geometry() const { return rectOf(win); } // the client area, empty while minimised
    QImage grab() const; // below the window's top rows that setPictureTop leaves out
    void setPictureTop(int rows) { pictureTop = rows; }
    QRect menuGeometry() const { return rectOf(findMenu()); } // the open pop-up menu
    QRect overlayGeometry() const { return rectOf(findMenu(true)); } // point mode's, if shown
    QPoint menuTitle(int n) const; // the centre of the n-th title (from 0); null if none
    void movePointer(QPoint root) const;
    void click(QPoint root) const;
    // One switch press with the Escape key; returns when it was released.
    std::chrono::steady_clock::time_point pressEscape(int holdMs);
    // The same with another key, by its X keysym name ("F8").
    std::chrono::steady_clock::time_point pressKey(const char *name, int holdMs);
    // The switch pressed for 100 ms: Escape, or what setSwitch gave (a blink of the headset).
    std::chrono::steady_clock::time_point press();
    void setSwitch(std::function<std::chrono::steady_clock::time_point()> press)
    {
        pressSwitch = std::move(press);
    }
    // A press on a group (entry -1), or on entry of its list of lines entries, both counted
    // after the list's way back. Group 0 is the prediction pad, whose row no picture reads, and
    // lines -1 a list whose lines it cannot tell apart (signs a few pixels high): their entry n
    // is lit n + 1 periods of 1000 ms after the press that opened them.
    struct Step
    {
        int group, entry = -1, lines = 0;
    };
    // Presses the switch on each step once it has been lit 15 to 400 ms (most of a 1000 ms
    // period left); false, with why, at the first one never lit so.
    bool walk(const QList<Step> &steps, QString *why);
    // So lit, without a press; as a person, no sooner than 135 ms after the last release.
    bool lit(int group, int entry, int lines, QString *why) const
    {
        return waitForHighlight(group, entry, lines, lastPress + std::chrono::milliseconds(135),
                                400, 8000, why);
    }
    void setColumns(int n) { columns = n; } // 6 groups in the keyboard view, 5 in the mouse view
    // Waits until group is lit with no list open (entry < 0), or line entry of its list of lines
    // lines, lit at most freshMs ago (the first picture as if at since): most of its period left.
    bool waitForHighlight(int group, int entry, int lines,
                          std::chrono::steady_clock::time_point since, int freshMs, int timeoutMs,
                          QString *why) const;

    QString settingsFile() const
    {
        return homeDir + QStringLiteral("/.config/Tarvo Technologies/Kelo#.conf");
    }

private:
    QString log(qint64 from) const;
    QProcessEnvironment environment() const;
    QRect rectOf(Window window) const;
    bool ours(Window window) const;
    bool isMain(Window window) const; // titled "Kelo#", no menu

    Window findWindow() const;
    Window findMenu(bool overlay = false) const;

    Display *dpy;
    QString homeDir;
    QProcess process;
    QMap<QString, QString> extraEnv;
    QString program = QStringLiteral(KELO_EXECUTABLE);
    QStringList arguments;
    qint64 logStart = 0;
    Window win = 0;
    int columns = 6, pictureTop = 0;
    std::function<std::chrono::steady_clock::time_point()> pressSwitch;
    std::chrono::steady_clock::time_point lastPress
        = std::chrono::steady_clock::now() - std::chrono::hours(1);
};
