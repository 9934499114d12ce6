#pragma once

#include <QRect>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// The application typed into and pointed at: an X window with the keyboard focus, on its own
// connection and thread, over area of the screen. readGap > 0 reads in bursts, as a busy editor
// does. Unmanaged unless managed: a window manager's then, as applications are.
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

    explicit TypingTarget(std::chrono::milliseconds readGap = {},
                          QRect area = QRect(60, 60, 240, 120), bool managed = false)
        : gap(readGap)
        , rect(area)
        , managed(managed)
    {
    }
    ~TypingTarget();
    bool start(); // false when the window never got the keyboard focus
    bool focused() const { return hasFocus; }
    QList<Key> keys() const { return locked(pressed); }
    // Return as a line break, Backspace taking one away, Escape as "<Esc>", chords as "<C-c>",
    // "<A-1>".
    QString text() const;
    // In root coordinates: "press 1 100,100", "motion 101,100", "release 1 101,100".
    QStringList pointer() const { return locked(pointed); }
    // Forgets what was typed and pointed, once what was sent before has been read.
    void clear();
    // Waits (bounded) for the expected value, then a little longer so that more shows too.
    QString waitForText(const QString &expected, int timeoutMs = 5000) const;
    QStringList waitForPointer(const QStringList &expected, int timeoutMs = 5000) const;

private:
    void run();
    template<typename T> T locked(const T &value) const
    {
        std::lock_guard lock(mutex);
        return value;
    }

    const std::chrono::milliseconds gap;
    const QRect rect;
    const bool managed;
    mutable std::mutex mutex;
    QList<Key> pressed;
    QStringList pointed;
    std::atomic<bool> hasFocus { false }, stopping { false };
    std::thread thread;
};
