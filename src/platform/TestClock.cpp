#include "platform/TestClock.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>

#include <algorithm>

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

bool TestClock::waitForBytes(QIODevice &device, int ms)
{
    if (device.bytesAvailable() > 0)
        return true;
    QElapsedTimer real;
    real.start();
    // At least a millisecond of real time, so that a peer in another process can answer.
    const int realMs = qMax(ms > 0 ? 1 : 0, static_cast<int>(ms * m_realTimeFactor));
    const bool got = device.waitForReadyRead(realMs) || device.bytesAvailable() > 0;
    if (!got || m_realTimeFactor <= 0) {
        advance(qMax(ms, 1));
        return got;
    }
    const qint64 scaled = qint64(double(real.elapsed()) / m_realTimeFactor);
    advance(int(std::clamp<qint64>(scaled, 1, qMax(ms, 1))));
    return got;
}
