#pragma once

#include <QDateTime>

class QIODevice;

// The local clock, and the two ways the station lets time pass. Tests replace it with a
// TestClock so that they can move the time instead of sleeping through it.
class Clock
{
public:
    virtual ~Clock() = default;

    // Local date and time.
    virtual QDateTime now() const = 0;

    // Seconds since local midnight, with fractions.
    double secondsSinceMidnight() const;

    // Lets about ms milliseconds pass without serving any event.
    virtual void sleep(int ms) = 0;

    // Serves pending and arriving events for about ms milliseconds.
    virtual void serveEvents(int ms) = 0;

    // Waits up to ms milliseconds, without serving any event, until the device has bytes to
    // read; true when it has. Blocks in the system (no spinning) while nothing arrives.
    virtual bool waitForBytes(QIODevice &device, int ms);
};

class SystemClock final : public Clock
{
public:
    static constexpr int kYieldMs = 1; // the end of a sleep, waited for without sleeping
    QDateTime now() const override;
    void sleep(int ms) override;
    void serveEvents(int ms) override;
};
