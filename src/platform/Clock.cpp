#include "platform/Clock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QThread>
#include <QTimer>

double Clock::secondsSinceMidnight() const
{
    return now().time().msecsSinceStartOfDay() / 1000.0;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void SystemClock::sleep(int ms)
{
    if (ms <= 0)
        return;
    // The pacing of messages to the units rests on these pauses. The system's sleep wakes
    // up late by up to a few milliseconds, so it sleeps to a millisecond before the end and
    // yields the processor for the rest: on time, at the cost of at most that millisecond.
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    if (ms > kYieldMs)
        QThread::msleep(static_cast<unsigned long>(ms - kYieldMs));
    while (!deadline.hasExpired())
        QThread::yieldCurrentThread();
}

void SystemClock::serveEvents(int ms)
{
    // A nested loop that sleeps until an event or the deadline arrives: events are served
    // as they come, and an idle wait costs no CPU.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(qMax(ms, 0));
    loop.exec();
}

bool Clock::waitForBytes(QIODevice &device, int ms)
{
    if (device.bytesAvailable() > 0)
        return true;
    return device.waitForReadyRead(qMax(ms, 0)) || device.bytesAvailable() > 0;
}
