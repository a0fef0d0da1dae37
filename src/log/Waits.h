#pragma once

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

    // Largest slice of one wait step, so that a day change is noticed promptly.
    static constexpr int kSliceMs = 20;

private:
    template <typename Step> void waitWith(double seconds, Step step);

    Clock &m_clock;
};
