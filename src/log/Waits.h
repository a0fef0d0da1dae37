#pragma once

#include <QtGlobal>

class Clock;

// The station's two kinds of wait. Both read the time of day and also end when it goes
// back (at midnight), so that no wait outlives a day change.
class Waits
{
public:
    explicit Waits(Clock &clock) : m_clock(clock) {}

    // Waits ID_DELAY seconds without serving any event: clicks, timers and data that
    // arrive meanwhile are handled after it returns. Sleeps in short slices rather than
    // spinning a core.
    void ID_PAUSE(double ID_DELAY);

    // Waits the given seconds while serving events as they arrive.
    void serveEventsFor(double seconds);

    // Largest step of a wait; a step never reaches past midnight, so a day change ends a
    // wait on time however long its steps are.
    static constexpr int kSliceMs = 250;
    static constexpr qint64 kMsPerDay = 86'400'000;

private:
    template <typename Step> void waitWith(double seconds, Step step);

    Clock &m_clock;
};
