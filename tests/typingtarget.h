#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// The application a user types into and points at: an X window with the keyboard focus, on
// its own connection and thread, that reads every key press as an editor would and notes when
// it arrived, and notes the pointer's buttons and motion over it. It reads either promptly or
// in bursts, as a busy editor does.
class TypingTarget
{
public:
    struct Key
    {
        unsigned long keysym;
        unsigned state;
        QString chars;
        std::chrono::steady_clock::time_point arrived;
    };

    // readGap: how long the events stay unread between two bursts; zero reads them as they
    // come, for arrival times that mean something.
    explicit TypingTarget(std::chrono::milliseconds readGap = {});
    ~TypingTarget();
    TypingTarget(const TypingTarget &) = delete;
    TypingTarget &operator=(const TypingTarget &) = delete;

    // Opens the window and waits (bounded) until it has the focus; false when there is no
    // display or it never got the focus.
    bool start();
    // Whether the window has the keyboard focus now.
    bool focused() const { return hasFocus; }

    QList<Key> keys() const;
    // The text typed: printable characters, Return as a line break, Backspace taking the last
    // character away, a chord as its keysym with the modifier held ("<C-c>" for Ctrl, "<A-1>"
    // for Alt, "<W-e>" for Super). Escape and other control keys type nothing.
    QString text() const;
    // What the pointer did over the window, in root coordinates: "press 1 100,100",
    // "motion 101,100", "release 1 101,100".
    QStringList pointer() const;
    // Forgets what was typed and pointed, once what was sent before has been read.
    void clear();
    // Waits (bounded) until the text is expected, then a little longer so that anything typed
    // beyond it shows too; returns the text.
    QString waitForText(const QString &expected, int timeoutMs = 5000) const;
    QStringList waitForPointer(const QStringList &expected, int timeoutMs = 5000) const;

private:
    void run();

    const std::chrono::milliseconds gap;
    mutable std::mutex mutex;
    QList<Key> pressed;
    QStringList pointed;
    std::atomic<bool> hasFocus { false };
    std::atomic<bool> failed { false };
    std::atomic<bool> stopping { false };
    std::thread thread;
};
