#include "platform/TestClock.h"

#include <QEventLoop>
#include <QTimer>

TestClock::TestClock(const QDateTime &start) : m_now(start) {}

void TestClock::sleep(int ms)
{
    if (ms <= 0)
        return;
    m_sleptMs += ms;
    advance(ms);
}

void TestClock::serveEvents(int ms)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(qMax(0, static_cast<int>(ms * m_realTimeFactor)));
    loop.exec();
    advance(qMax(ms, 1));
}
