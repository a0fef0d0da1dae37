#include "platform/Clock.h"

#include <QEventLoop>
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
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
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
