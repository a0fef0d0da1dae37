// The Windows station on a Wine COM port, wired to the Linux simulated unit on a
// pseudo-terminal (tests/windows/with-unit starts it): the supervision greets the unit, and
// notices the cable pulled and back. A program of its own, so that each run meets a unit
// that no earlier case has opened and closed. Only the supervision tick is called directly.
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "support/StationFixture.h"
#include "windows/WineUnit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

class WineStationLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (unitPort().isEmpty())
            QSKIP("Needs the Linux simulated unit behind a Wine COM port: run through "
                  "tests/windows/with-unit (the Windows lane does).");
    }

    // The station as the operator has it: port number typed, the supervision greets the unit;
    // the cable is pulled and comes back.
    void theStationGreetsTheUnitAndNoticesTheCablePulledAndBack()
    {
        const int number = unitPort().mid(3).toInt();
        QVERIFY(number > 0);
        StationFixture f;
        F_MAIN &w = f.w();
        w.supervision().selectLink(0);
        w.INP_SERIAL_PORT->setText(QString::number(number));
        w.supervision().TIM_SERIAL_CONNECT_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"), 5000);
        QVERIFY(w.Serial->isOpen());
        QCOMPARE(w.Serial->devicePath(), unitPort());
        QSignalSpy lost(w.Serial, &SerialLink::lost);

        QVERIFY(tellUnit("unplug 0 2000"));
        QTRY_COMPARE_WITH_TIMEOUT(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Disconnected"),
                                  5000);
        QVERIFY(!w.Serial->isOpen());
        QVERIFY2(w.AFF_SERIAL_STATUS->toolTip().contains(unitPort()),
                 qPrintable(w.AFF_SERIAL_STATUS->toolTip()));
        QTest::qWait(300);
        QCOMPARE(lost.count(), 1);

        // Back after about two seconds: the next ticks greet it again.
        QElapsedTimer t;
        t.start();
        while (w.AFF_SERIAL_STATUS->text() != QStringLiteral("Connected") && t.elapsed() < 10000) {
            QTest::qWait(250);
            w.supervision().TIM_SERIAL_CONNECT_Timer();
        }
        QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
    }
};

QTEST_MAIN(WineStationLinkTest)
#include "tst_wine_station_link.moc"
