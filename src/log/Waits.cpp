#include "log/Waits.h"

#include "platform/Clock.h"

#include <QDateTime>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

template <typename Step> void Waits::waitWith(double seconds, Step step)
{
    if (seconds == 0 || std::isnan(seconds))
        return;
    // Whole milliseconds, so that 0.1 s is 100 ms and not a hair more.
    const double delayMs = std::min(seconds * 1000.0, 86'400'000.0);
    const qint64 wantedMs = delayMs > 0 ? qint64(std::llround(delayMs)) : 0;
    const int startMs = m_clock.now().time().msecsSinceStartOfDay();
    for (;;) {
        const int nowMs = m_clock.now().time().msecsSinceStartOfDay();
        const qint64 elapsedMs = nowMs - startMs;
        if (elapsedMs >= wantedMs || nowMs < startMs)
            return;
        // Never past midnight in one step: a wait that spans it ends there.
        const qint64 untilMidnightMs = kMsPerDay - nowMs;
        step(int(std::min({wantedMs - elapsedMs, untilMidnightMs, qint64(kSliceMs)})));
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
