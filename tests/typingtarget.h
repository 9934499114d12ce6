#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// The application a user types into and points at: an X window with the keyboard focus, on
// its own connection and thread, that reads key presses as an editor would and notes the
// pointer's buttons and motion over it. readGap > 0 reads in bursts, as a busy editor does.
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

    explicit TypingTarget(std::chrono::milliseconds readGap = {});
    ~TypingTarget();

    // Opens the window; false when it never got the keyboard focus.
    bool start();
    bool focused() const { return hasFocus; }

    QList<Key> keys() const;
    // Printable characters, Return as a line break, Backspace taking one away, a chord as
    // "<C-c>" (Ctrl), "<A-1>" (Alt) or "<W-e>" (Super).
    QString text() const;
    // In root coordinates: "press 1 100,100", "motion 101,100", "release 1 101,100".
    QStringList pointer() const;
    // Forgets what was typed and pointed, once what was sent before has been read.
    void clear();
    // Wait (bounded) for the expected value, then a little longer so that more shows too.
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
