#include "log/Waits.h"
#include "platform/TestClock.h"

#include <QElapsedTimer>
#include <QTest>

#include <QTimer>
#include <ctime>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

// The CPU time this process has used. On Windows std::clock() counts wall time since the
// start, so a spinning wait and a sleeping one would look the same: ask the system instead.
double processCpuMs()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME &t) {
        return (quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime; // 100 ns each
    };
    return double(ticks(kernel) + ticks(user)) / 10000.0;
#else
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
#endif
}

} // namespace

class WaitsTest : public QObject
{
    Q_OBJECT

private slots:
    void pauseLetsTheAskedTimePassWithoutServingEvents_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<double>("delay");
        QTest::addColumn<int>("elapsedMs");
        QTest::newRow("zero returns at once") << QTime(12, 0) << 0.0 << 0;
        QTest::newRow("half a second") << QTime(12, 0) << 0.5 << 500;
        QTest::newRow("fraction") << QTime(12, 0) << 0.1 << 100;
        QTest::newRow("negative returns after the first check") << QTime(12, 0) << -1.0 << 0;
        QTest::newRow("ends at midnight") << QTime(23, 59, 59, 750) << 1.0 << 250;
    }
    void pauseLetsTheAskedTimePassWithoutServingEvents()
    {
        QFETCH(QTime, start);
        QFETCH(double, delay);
        QFETCH(int, elapsedMs);
        TestClock clock(QDateTime(QDate(2026, 12, 9), start));
        Waits waits(clock);
        bool served = false;
        QObject context;
        QTimer::singleShot(0, &context, [&served] { served = true; });
        waits.ID_PAUSE(delay);
        // Exactly the time asked for, or up to midnight, and not a millisecond more.
        QCOMPARE(clock.sleptMs(), elapsedMs);
        QVERIFY(!served);
    }

    void realPauseSleepsRatherThanSpinning()
    {
        SystemClock clock;
        Waits waits(clock);
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = processCpuMs();
        waits.ID_PAUSE(0.3);
        const double cpuMs = processCpuMs() - cpuBefore;
        QVERIFY(wall.elapsed() >= 290);
        // A spinning wait would use about as much CPU as wall time.
        QVERIFY2(cpuMs < 150, qPrintable(QString::number(cpuMs)));
    }

    void serveEventsForServesEventsWhileItWaits()
    {
        TestClock clock;
        clock.setRealTimeFactor(0.1);
        Waits waits(clock);
        int fired = 0;
        QTimer timer;
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
        timer.start();
        waits.serveEventsFor(0.6);
        QVERIFY(fired > 0);
        QVERIFY(clock.now().time() >= QTime(14, 3, 27, 600));
    }
};

QTEST_GUILESS_MAIN(WaitsTest)
#include "tst_waits.moc"
