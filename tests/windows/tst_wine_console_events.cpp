// The console control events that stop trelvane-station on Windows. Wine hands only Ctrl+C to
// a program (for a SIGINT, which tst_wine_station_program sends), so the others are given to
// the handler here as the system gives them: on a thread of its own.
#include "cli/StopRequests.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include <windows.h>

class WineConsoleEventsTest : public QObject
{
    Q_OBJECT

private slots:
    void theHandlerStopsReadModeOrLetsItRun_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<bool>("stops");
        // The system ends the process as soon as the handler of these returns.
        QTest::addColumn<bool>("waitsForTheEnd");
        QTest::newRow("Ctrl+C") << int(CTRL_C_EVENT) << true << false;
        QTest::newRow("Ctrl+Break (a service wrapper's stop)")
            << int(CTRL_BREAK_EVENT) << true << false;
        QTest::newRow("console closed") << int(CTRL_CLOSE_EVENT) << true << true;
        QTest::newRow("shutdown") << int(CTRL_SHUTDOWN_EVENT) << true << true;
        // Any user's log-off reaches the programs of every service.
        QTest::newRow("log-off") << int(CTRL_LOGOFF_EVENT) << false << false;
    }
    void theHandlerStopsReadModeOrLetsItRun()
    {
        QFETCH(int, event);
        QFETCH(bool, stops);
        QFETCH(bool, waitsForTheEnd);
        StopRequests stop;
        QVERIFY(stop.listen());
        QSignalSpy stopped(&stop, &StopRequests::stopRequested);

        auto returned = std::make_shared<std::atomic<bool>>(false);
        auto handled = std::make_shared<std::atomic<bool>>(false);
        std::thread control([event, returned, handled] {
            *handled = StopRequests::handleConsoleEvent(DWORD(event));
            *returned = true;
        });
        if (stops) {
            QTRY_COMPARE(stopped.count(), 1);
            QCOMPARE(stopped.first().first().toInt(), event);
        } else {
            QTRY_VERIFY(*returned);
            QTest::qWait(200);
            QCOMPARE(stopped.count(), 0);
        }
        if (waitsForTheEnd) {
            // Still holding the system off while the program closes its port and ends.
            QTest::qWait(1000);
            QVERIFY(!*returned);
            control.detach(); // ended with the test program
            return;
        }
        control.join();
        QVERIFY(*handled);
    }

    // An event it does not know is left to the next handler (the system's own).
    void anUnknownEventIsNotHandled()
    {
        StopRequests stop;
        QVERIFY(stop.listen());
        QSignalSpy stopped(&stop, &StopRequests::stopRequested);
        QVERIFY(!StopRequests::handleConsoleEvent(99));
        QTest::qWait(200);
        QCOMPARE(stopped.count(), 0);
    }
};

QTEST_GUILESS_MAIN(WineConsoleEventsTest)
#include "tst_wine_console_events.moc"
