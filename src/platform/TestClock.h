#pragma once

#include "platform/Clock.h"

// A clock that tests set and move. Its time stands still except when a wait lets it pass:
// sleep() advances it at once, without really sleeping; serveEvents() really serves events,
// for realTimeFactor times the requested span, and then advances it by the requested span.
class TestClock final : public Clock
{
public:
    explicit TestClock(const QDateTime &start = QDateTime(QDate(2026, 12, 9), QTime(14, 3, 27)));

    QDateTime now() const override { return m_now; }
    void sleep(int ms) override;
    void serveEvents(int ms) override;
    // Really waits realTimeFactor times the span (at least 1 ms) for the bytes, then advances
    // by the span (or, when bytes came sooner, by the real time waited, scaled back up).
    bool waitForBytes(QIODevice &device, int ms) override;

    void setNow(const QDateTime &when) { m_now = when; }
    void advance(int ms) { m_now = m_now.addMSecs(ms); }
    // 1.0 serves events in real time; 0.1 lets a 0.6 s wait serve events for 60 ms.
    void setRealTimeFactor(double factor) { m_realTimeFactor = factor; }
    // Milliseconds let pass through sleep() since construction (waits that serve no events).
    qint64 sleptMs() const { return m_sleptMs; }

private:
    QDateTime m_now;
    double m_realTimeFactor = 1.0;
    qint64 m_sleptMs = 0;
};
