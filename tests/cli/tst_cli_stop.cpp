// Stopping a program that runs until stopped: a signal reaches the event loop, not a handler
// that could do nothing safely, and the handlers go with the listener.
#include "cli/StopRequests.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TestCliStop : public QObject
{
    Q_OBJECT

private slots:
    void aSignalReachesTheEventLoop_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void aSignalReachesTheEventLoop()
    {
        QFETCH(int, signal);
        // Twice: a listener made after the first is gone listens as well.
        for (int round = 0; round < 2; ++round) {
            StopRequests stop;
            QVERIFY(stop.listen());
            QSignalSpy stopped(&stop, &StopRequests::stopRequested);
            QCOMPARE(std::raise(signal), 0);
            QCOMPARE(stopped.count(), 0); // delivered by the event loop, not in the handler
            QTRY_COMPARE(stopped.count(), 1);
            QCOMPARE(stopped.first().first().toInt(), signal);
        }
    }

    void onlyOneListensAtATime()
    {
        StopRequests first;
        QVERIFY(first.listen());
        StopRequests second;
        QVERIFY(!second.listen());
        QSignalSpy stopped(&first, &StopRequests::stopRequested);
        QCOMPARE(std::raise(SIGTERM), 0);
        QTRY_COMPARE(stopped.count(), 1);
    }

    // Without a listener the signals get their default action back: they end the program.
    void theHandlersGoWithTheListener()
    {
        {
            StopRequests stop;
            QVERIFY(stop.listen());
        }
        QVERIFY(std::signal(SIGTERM, SIG_DFL) == SIG_DFL);
        QVERIFY(std::signal(SIGINT, SIG_DFL) == SIG_DFL);
    }
};

QTEST_GUILESS_MAIN(TestCliStop)
#include "tst_cli_stop.moc"
