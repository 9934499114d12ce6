#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// The application a user types into: an X window with the keyboard focus, on its own
// connection and thread, that reads every key press as an editor would and notes when it
// arrived, by the test's clock and by the X server's.
class TypingTarget
{
public:
    struct Key
    {
        unsigned long keysym;
        QString chars;
        unsigned long serverTime;
        std::chrono::steady_clock::time_point arrived;
    };

    TypingTarget() = default;
    ~TypingTarget();
    TypingTarget(const TypingTarget &) = delete;
    TypingTarget &operator=(const TypingTarget &) = delete;

    // Opens the window at (x, y) and waits (bounded) until it has the focus.
    bool start(int x, int y);
    // Whether the window has the keyboard focus now.
    bool focused() const { return hasFocus; }

    QList<Key> keys() const;
    // The printable characters typed, with Return as a line break; Escape and other
    // control keys type nothing.
    QString text() const;
    void clear();
    // Waits (bounded) until at least n keys have arrived; returns all of them.
    QList<Key> waitForKeys(qsizetype n, int timeoutMs) const;

private:
    void run(int x, int y);

    mutable std::mutex mutex;
    QList<Key> pressed;
    std::atomic<bool> hasFocus { false };
    std::atomic<bool> failed { false };
    std::atomic<bool> stopping { false };
    std::thread thread;
};
