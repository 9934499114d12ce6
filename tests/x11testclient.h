#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// An ordinary X client for the injection tests: a focused window on its own connection and
// thread that turns the key presses it receives into text, as an editor would, and records
// each press with its modifier state.
class X11TestClient
{
public:
    struct Key
    {
        unsigned long keysym;
        unsigned state;
        QString chars;
    };

    X11TestClient();
    ~X11TestClient();

    // Opens the window and waits until it has the focus; false when there is no display.
    bool start();
    // Gives the focus to the window again, or to no window at all.
    void focus(bool window);

    QString text() const;
    QList<Key> keys() const;
    QList<int> buttons() const;
    void clear();
    // Waits (bounded) until the typed text is expected; returns the text it ended with.
    QString waitForText(const QString &expected, int timeoutMs = 5000) const;
    // Waits (bounded) until at least n key presses have arrived.
    QList<Key> waitForKeys(qsizetype n, int timeoutMs = 5000) const;
    QList<int> waitForButtons(qsizetype n, int timeoutMs = 5000) const;

    // The window's position on the screen, for pointer tests.
    int x() const { return 100; }
    int y() const { return 100; }

private:
    void run();

    mutable std::mutex mutex;
    QString typed;
    QList<Key> pressed;
    QList<int> clicked;
    std::atomic<int> focusRequest { -1 };
    std::atomic<bool> ready { false };
    std::atomic<bool> failed { false };
    std::atomic<bool> stopping { false };
    std::thread thread;
};
