#include "pressrules.h"

#include <algorithm>
#include <utility>

void PressRules::setHold(int ms)
{
    holdMs = std::max(0, ms);
}

void PressRules::setDebounce(int ms)
{
    debounceMs = std::max(0, ms);
}

void PressRules::setBlinkThreshold(int strength)
{
    threshold = std::clamp(strength, 1, 255);
}

void PressRules::setPressDown(bool on)
{
    pressDown = on;
}

void PressRules::setHoldCancels(bool on)
{
    holdCancels = on;
}

// A typed key shows in the global key state within two polls; the third is spare.
void PressRules::ownTyping(Source key)
{
    switches[key].ownPolls = 3;
}

void PressRules::level(Source source, bool down, bool tapped, qint64 now, qint64 downAt, bool letGo)
{
    Switch &s = switches[source];
    // Let go and pressed again between two polls (the program was busy): the press held ends
    // as at a poll that saw it up, and the new one begins.
    if (s.down && letGo && tapped)
        level(source, false, false, now);
    if (std::exchange(s.tapOnly, false) && down && !tapped)
        s.down = true;
    if (!s.down && (down || tapped)) {
        s.tapOnly = !down;
        s.since = downAt >= 0 ? std::min(downAt, now) : now;
        s.own = s.ownPolls > 0;
        s.ownPolls = 0;
        s.done = s.own || cancelled;
    } else if (s.ownPolls > 0) {
        --s.ownPolls;
    }
    const qint64 held = now - s.since;
    if (!s.done) {
        if (!pressDown && (source == Escape || source == Key)) {
            // At the release, for the moment of the release.
            if (!down) {
                s.done = true;
                if (held >= holdMs)
                    offer(now, source);
            }
        } else if (down ? held >= holdMs : holdMs == 0) {
            // Still down after the hold, or a tap between two polls when no hold is asked.
            s.done = true;
            offer(pressDown ? s.since : now, source);
        } else if (!down) {
            s.done = true;
        }
    }
    s.down = down;
    if (holdCancels && !cancelled && down && held >= std::max(1000, holdMs + 800)) {
        cancelled = cancelNow = true;
        for (Switch &other : switches)
            other.done = true;
    }
}

void PressRules::report(int strength, qint64 at, qint64 now)
{
    if (strength > threshold && !cancelled)
        offer(pressDown ? std::min(at, now) : now, Sources);
}

void PressRules::offer(qint64 moment, int from)
{
    if (!offered || moment < *offered)
        offeredBy = from;
    offered = offered ? std::min(*offered, moment) : moment;
}

bool PressRules::anyDown() const
{
    return std::any_of(switches.begin(), switches.end(), [](const Switch &s) { return s.down; });
}

int PressRules::take(qint64 now)
{
    int result = none;
    if (cancelNow) {
        result = cancel;
    } else if (offered && !(debounceMs > 0 && lastTaken && *offered - *lastTaken < debounceMs)) {
        lastTaken = offered;
        takenBy = offeredBy;
        result = int(std::clamp<qint64>(now - *offered, 0, 1 << 30));
    }
    cancelNow = false;
    offered.reset();
    if (cancelled
        && std::none_of(switches.begin(), switches.end(), [](const Switch &s) { return s.down; }))
        cancelled = false;
    return result;
}
