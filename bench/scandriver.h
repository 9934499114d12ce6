#pragma once

#include "windowview.h"

#include <QJSValue>
#include <QObject>
#include <QVariantMap>

#include <memory>
#include <vector>

class BenchWrapper;
class Person;
class QQmlApplicationEngine;
class Typist;

// The program's own window, loaded from its resources with the benchmark's bridge, run on a
// simulated clock: nothing waits for real time, each timer's triggered() is fired in time order
// at its interval, and a person's presses reach the window through the bridge's switch poll.
class ScanDriver : public QObject
{
    Q_OBJECT

public:
    // What a run took, summed over its phrases. Steps are the highlights shown up to each press,
    // the one pressed included.
    struct Figures
    {
        qint64 steps = 0, ms = 0, characters = 0;
        int presses = 0, late = 0, errors = 0;
    };

    // The window with these stored settings over a first start's, in the keyboard view.
    explicit ScanDriver(const QVariantMap &settings);
    ~ScanDriver() override;
    bool ready() const { return bridge != nullptr; }
    qint64 now() const { return clock; }
    const QString &document() const;
    WindowView view();
    // Types phrase (a sentence and the space after it) at the end of the document.
    void type(const QString &phrase, Typist &typist, Person &person, Figures &figures);
    // The scan period, as the first slider sets it, and as the window has it now.
    void setPeriod(int ms);
    int periodNow() const;
    QObject *window() const { return root; }

private slots:
    void timerChanged();

private:
    struct Timer
    {
        QObject *timer = nullptr;
        bool scan = false; // moves the highlight
        qint64 due = -1;
        bool changed = false;
    };
    // Fires the timer due first; true when the highlight moved or a press was taken.
    bool fireNext();
    void shown();
    bool lit(int group, int entry, const WindowView &view) const;
    // When the highlight moves next.
    qint64 nextStep() const;

    std::unique_ptr<QQmlApplicationEngine> engine;
    QObject *root = nullptr;
    BenchWrapper *bridge = nullptr;
    QJSValue snapshot;
    std::vector<Timer> timers;
    qint64 clock = 1000, steps = 0, lastShown = -1;
    // Steps and time before the last press taken.
    qint64 pressSteps = 0, pressTime = 0;
    int period = 1000;
    bool stalled = false;
    // A person who holds the switch while the scan moves (hold-to-scan): held since, -1 when not.
    qint64 holding = -1;
    bool releasing = false;
    // KELO_BENCH_TRACE: each decision of the person on stderr.
    bool trace = qEnvironmentVariableIsSet("KELO_BENCH_TRACE");
};
