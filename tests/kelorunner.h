#pragma once

#include <QImage>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>

#include <chrono>

// Xlib's macros collide with Qt's names; its two types are all this header needs.
typedef struct _XDisplay Display;
using Window = unsigned long;

// The real kelo executable as a user meets it: started in a HOME of its own, its window found
// on the X display by its title, looked at through its pixels and driven by XTest, like a
// person with a pointer and one switch. Every wait is bounded.
class KeloRunner
{
public:
    // display is the test's own connection; home is where kelo keeps its settings.
    KeloRunner(Display *display, const QString &home);
    ~KeloRunner();

    KeloRunner(const KeloRunner &) = delete;
    KeloRunner &operator=(const KeloRunner &) = delete;

    // The test's connection, with protocol errors (a window that went meanwhile) reported
    // instead of ending the test; nullptr, with why, when there is no server or no window
    // manager comes up on it within a few seconds.
    static Display *openDisplay(QString *why);

    QString settingsFile() const;
    // Writes these keys into the settings file before a start, as a previous run would have.
    bool writeSettings(const QMap<QString, QString> &values) const;
    // The stored value of key, read back from the file; empty when missing.
    QString setting(const QString &key) const;

    // Starts kelo and waits until its window is mapped and painted; on failure, why.
    bool start(QString *why);
    bool running() const;
    // Waits until the process has ended; true when it ended by itself with status 0, else why
    // (still running, crashed, or the status and what kelo wrote).
    bool waitForCleanExit(int timeoutMs, QString *why);
    // Sends kelo a signal, as a logout (SIGHUP) or the system's shutdown (SIGTERM) does.
    void sendSignal(int signal) const;

    Window window() const { return win; }
    // The client area in root coordinates.
    QRect geometry() const;
    QImage grab() const;
    // The picture of a menu kelo has open: its pop-up window, empty when none is open.
    QImage grabMenu() const;
    // Where that menu stands, in root coordinates; empty when none is open.
    QRect menuGeometry() const;
    // The centre of the n-th title (0-based) of the menu strip, in root coordinates, found by
    // the separator lines between the titles; a null point when the strip is not found.
    QPoint menuTitle(int n, QString *why) const;

    void movePointer(QPoint root) const;
    // A left click at a root position: the pointer moves there, presses and releases.
    void click(QPoint root) const;
    // One switch press with the Escape key: down, held for holdMs, up; returns when the
    // release was sent.
    std::chrono::steady_clock::time_point pressEscape(int holdMs) const;
    // Waits until the keyboard panel shows group highlighted with no list open (entry < 0),
    // or line entry highlighted in the group's open list of lines lines, and the highlight came
    // there at most freshMs ago, so that most of its period lies ahead: a person presses as it
    // arrives. What the first picture shows counts as having come at since. On failure, what
    // was seen last.
    // The panel read by waitForHighlight: 6 groups (keyboard view) or 5 (mouse view).
    void setColumns(int n) { columns = n; }
    bool waitForHighlight(int group, int entry, int lines,
                          std::chrono::steady_clock::time_point since, int freshMs, int timeoutMs,
                          QString *why) const;
    // Asks the window manager to close the window (_NET_CLOSE_WINDOW), as its close button does.
    void closeByWindowManager() const;

private:
    // The end of what kelo wrote to stdout and stderr, for failure messages.
    QString log() const;
    // Whether window belongs to the process started here, by the pid it names.
    bool ours(Window window) const;
    Window findWindow() const;
    QImage grabWindow(Window window) const;
    Window findMenu() const;

    Display *dpy;
    QString homeDir;
    QProcess process;
    Window win = 0;
    int columns = 6;
};
