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

// The real kelo executable as a user meets it: started in a HOME of its own, found on the X
// display by its title and process, read through its pixels and driven by XTest. Every wait is
// bounded; on failure, why says what was seen.
class KeloRunner
{
public:
    KeloRunner(Display *display, const QString &home)
        : dpy(display)
        , homeDir(home)
    {
    }
    ~KeloRunner()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    // A connection that reports protocol errors instead of ending the test; nullptr when there
    // is no server, or no window manager comes up on it within a few seconds.
    static Display *openDisplay(QString *why);

    // Settings as a previous run would have left them, and read back after a run.
    bool writeSettings(const QMap<QString, QString> &values) const;
    QString setting(const QString &key) const;

    // Starts kelo and waits until its window is mapped and painted.
    bool start(QString *why);
    bool running() const { return process.state() != QProcess::NotRunning; }
    // True when kelo ended by itself with status 0 and the QML engine never warned.
    bool waitForCleanExit(int timeoutMs, QString *why);
    void sendSignal(int signal) const;
    // Asks the window manager to close the window, as its close button does.
    void closeByWindowManager() const;

    // The client area in root coordinates; moveTo asks the window manager and waits for it.
    QRect geometry() const { return rectOf(win); }
    bool moveTo(const QRect &frame) const;
    // The area the window manager leaves to windows.
    QRect workArea() const;
    QImage grab() const { return grabWindow(win); }
    // The pop-up menu kelo has open; empty when none is.
    QImage grabMenu() const { return grabWindow(findMenu()); }
    QRect menuGeometry() const { return rectOf(findMenu()); }
    // The centre of the n-th title (0-based) of the menu strip, in root coordinates.
    QPoint menuTitle(int n, QString *why) const;

    void movePointer(QPoint root) const;
    void click(QPoint root) const;
    // One switch press with the Escape key; returns when the release was sent.
    std::chrono::steady_clock::time_point pressEscape(int holdMs) const;
    // The panel read by waitForHighlight: 6 groups (keyboard view) or 5 (mouse view).
    void setColumns(int n) { columns = n; }
    // Waits until group is highlighted with no list open (entry < 0), or line entry of its
    // open list of lines lines, and the highlight came there at most freshMs ago (the first
    // picture counts as having come at since), so that most of its period lies ahead.
    bool waitForHighlight(int group, int entry, int lines,
                          std::chrono::steady_clock::time_point since, int freshMs, int timeoutMs,
                          QString *why) const;

private:
    QString log() const;
    QRect rectOf(Window window) const;
    bool ours(Window window) const;
    Window findWindow() const;
    Window findMenu() const;
    QImage grabWindow(Window window) const;

    Display *dpy;
    QString homeDir;
    QProcess process;
    Window win = 0;
    int columns = 6;
};
