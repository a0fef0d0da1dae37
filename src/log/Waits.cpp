#include "log/Waits.h"

#include "platform/Clock.h"

#include <cmath>

template <typename Step> void Waits::waitWith(double seconds, Step step)
{
    if (seconds == 0 || std::isnan(seconds))
        return;
    const double start = m_clock.secondsSinceMidnight();
    for (;;) {
        const double now = m_clock.secondsSinceMidnight();
        const double elapsed = now - start;
        if (!(elapsed < seconds) || now < start)
            return;
        const double remainingMs = std::ceil((seconds - elapsed) * 1000.0);
        step(static_cast<int>(std::min<double>(remainingMs, kSliceMs)));
    }
}

void Waits::ID_PAUSE(double ID_DELAY)
{
    waitWith(ID_DELAY, [this](int ms) { m_clock.sleep(ms); });
}

void Waits::serveEventsFor(double seconds)
{
    waitWith(seconds, [this](int ms) { m_clock.serveEvents(ms); });
}
