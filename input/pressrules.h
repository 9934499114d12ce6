#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

// The rules a switch press passes before it counts, in one place for every source: the hold,
// the repeat filter, the program's own Escape and switch key, the long hold that cancels, the
// headset's blink strength and when a press is taken. Fed once a poll with what each source
// shows and the time (ms); answers whether a press counts and how long ago its switch went
// down, so that the caller acts on what was lit at that moment.
class PressRules
{
public:
    // Step: a pad button that steps, beside the switch key, in two-switch scanning.
    enum Source { Escape, Key, Pad, Camera, Step, Sources };
    // take()'s answers besides a press: nothing, and a hold that cancels.
    static constexpr int none = -1;
    static constexpr int cancel = -2;

    // A press counts only once held this long (ms); 0 counts taps too.
    void setHold(int ms);
    // A press this soon (ms) after the last one taken is a bounce or a tremor.
    void setDebounce(int ms);
    // A headset blink counts only when stronger than this (1 to 255).
    void setBlinkThreshold(int strength);
    // On: a press is taken when its switch goes down (once held the hold time). Off: Escape and
    // the switch key count at their release, and every press for the moment it is taken.
    void setPressDown(bool on);
    // While on, a switch held down long cancels (point mode); nothing counts until all are up.
    void setHoldCancels(bool on);
    // The program has just typed Escape or the switch key: its press in the next polls is its own.
    void ownTyping(Source key);

    // What a source shows at this poll: down now, and gone down (maybe up again) since the last
    // poll; downAt, when known, is when it went down; let go, when the source tells, gone up
    // since the last poll.
    void level(Source source, bool down, bool tapped, qint64 now, qint64 downAt = -1,
               bool letGo = false);
    // A headset blink report of this strength, arrived at.
    void report(int strength, qint64 at, qint64 now);
    // The poll's outcome: none, cancel, or how long ago (ms) the switch went down.
    int take(qint64 now);
    // Which source the last press taken came from (Sources for the headset), and whether any
    // switch is down now.
    int takenFrom() const { return takenBy; }
    bool anyDown() const;

private:
    struct Switch
    {
        bool down = false;
        // Counted already, or never to count (too short, the program's own, cancelled).
        bool done = true;
        bool own = false;
        qint64 since = 0;
        int ownPolls = 0;
        // Seen only as gone down, not as down: the key state can lag the key's event by a poll,
        // and down at the next poll is then still this press.
        bool tapOnly = false;
    };
    void offer(qint64 moment, int from);

    std::array<Switch, Sources> switches {};
    int holdMs = 0;
    int debounceMs = 0;
    int threshold = 1;
    bool pressDown = true;
    bool holdCancels = false;
    bool cancelled = false;
    bool cancelNow = false;
    // The earliest moment of the presses counted since the last take, and of the last taken.
    std::optional<qint64> offered;
    std::optional<qint64> lastTaken;
    int offeredBy = Escape, takenBy = Escape;
};
