#pragma once

#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// An ordinary X client for the injection tests: a focused window on its own connection and
// thread that reads its events in bursts and turns the key presses into text, as a busy editor
// would. A chord shows as its keysym with the modifier held: "<C-c>" for Ctrl, "<A-1>" for
// Alt, "<W-e>" for Super.
class X11TestClient
{
public:
    ~X11TestClient();

    // Opens the window and waits until it has the focus; false when there is no display.
    bool start();
    void clear();
    // Waits (bounded) until the text is expected, then a little longer so that anything typed
    // beyond it shows too; returns the text.
    QString waitForText(const QString &expected, int timeoutMs = 5000) const;

private:
    void run();
    QString text() const;

    mutable std::mutex mutex;
    QString typed;
    std::atomic<bool> ready { false };
    std::atomic<bool> stopping { false };
    std::thread thread;
};
