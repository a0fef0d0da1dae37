// The Windows serial link against a real unit: the Linux simulated unit on a pseudo-terminal,
// which Wine shows to this program as a COM port (tests/windows/with-unit starts it). The
// bytes, the waits and the unplugging are real; only the supervision tick is called directly.
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "platform/Clock.h"
#include "platform/SerialDeviceNaming.h"
#include "support/StationFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray kHandshake = QByteArray::fromHex("40010000000031000000 65D70A");
const QByteArray kHandshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));

QString unitPort()
{
    return qEnvironmentVariable("TRELVANE_UNIT_COM");
}

// Passes a console command to the simulated unit.
bool tellUnit(const QByteArray &command)
{
    QFile console(qEnvironmentVariable("TRELVANE_UNIT_CONSOLE"));
    return console.open(QIODevice::WriteOnly | QIODevice::Append) &&
           console.write(command + '\n') == command.size() + 1;
}

// Reads from the link, serving events, until it holds n bytes or ms have passed.
QByteArray readServing(SerialLink &link, int n, int ms)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < n && t.elapsed() < ms) {
        QTest::qWait(10);
        got += link.readAll();
    }
    return got;
}

} // namespace

class WineSerialLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (unitPort().isEmpty() && QByteArray(QTest::currentTestFunction()) != "portNames")
            QSKIP("Needs the Linux simulated unit behind a Wine COM port: run through "
                  "tests/windows/with-unit (the Windows lane does).");
    }

    // Windows names a serial port COM<n>; the system's device name reaches COM10 and up too.
    void portNames_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << 1 << "COM1"
                              << "\\\\.\\COM1";
        QTest::newRow("COM12") << 12 << "COM12"
                               << "\\\\.\\COM12";
        QTest::newRow("COM256") << 256 << "COM256"
                                << "\\\\.\\COM256";
        QTest::newRow("no port") << 0 << ""
                                 << "";
    }

    void portNames()
    {
        QFETCH(int, number);
        QFETCH(QString, name);
        QFETCH(QString, device);
        QCOMPARE(serialDevicePath(number, QStringLiteral("C:\\station\\")), name);
        if (!name.isEmpty()) {
            QCOMPARE(Win32SerialPort::systemDeviceName(name), device);
            QCOMPARE(Win32SerialPort::systemDeviceName(device), device);
        }
    }

    void unitAnswersAHandshakeSignalledThroughTheEventLoop()
    {
        SerialLink link;
        link.setDevicePath(unitPort());
        QSignalSpy opened(&link, &SerialLink::opened);
        QVERIFY2(link.open(), qPrintable(link.errorString()));
        QCOMPARE(opened.count(), 1);
        QSignalSpy ready(&link, &ByteLink::readyRead);
        QVERIFY(link.write(kHandshake));
        QCOMPARE(readServing(link, kHandshakeReply.size(), 3000), kHandshakeReply);
        QVERIFY(ready.count() >= 1);
        link.close();
        QVERIFY(!link.isOpen());
        QVERIFY(!link.write(kHandshake));
    }

    // The enrollment's waits serve no events: the bytes must arrive all the same.
    void waitForBytesSeesTheReplyWithoutServingEvents()
    {
        SerialLink link;
        link.setDevicePath(unitPort());
        QVERIFY2(link.open(), qPrintable(link.errorString()));
        SystemClock clock;
        QVERIFY(link.writeQueued(kHandshake));
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < kHandshakeReply.size() && t.elapsed() < 3000) {
            if (link.waitForBytes(clock, 500))
                got += link.readAll();
        }
        QCOMPARE(got, kHandshakeReply);
        QCOMPARE(link.bytesToWrite(), 0);
        // Nothing more comes: the wait ends by its time, with nothing.
        t.restart();
        QVERIFY(!link.waitForBytes(clock, 300));
        QVERIFY(t.elapsed() >= 250);
    }

    void aPortThatDoesNotExistSaysWhichAndWhy_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("unknown number") << QStringLiteral("COM200");
        QTest::newRow("not a port name") << QStringLiteral("NOSUCHPORT");
    }

    void aPortThatDoesNotExistSaysWhichAndWhy()
    {
        QFETCH(QString, port);
        SerialLink link;
        link.setDevicePath(port);
        QSignalSpy opened(&link, &SerialLink::opened);
        QVERIFY(!link.open());
        QVERIFY(!link.isOpen());
        QCOMPARE(opened.count(), 0);
        QVERIFY2(link.errorString().startsWith(port + QStringLiteral(": ")),
                 qPrintable(link.errorString()));
        QVERIFY2(link.errorString().contains(QStringLiteral("no such serial port")),
                 qPrintable(link.errorString()));
    }

    // A port opened twice: Windows gives a COM port to one program at a time.
    void aPortInUseIsRefusedWithTheReason()
    {
        SerialLink first;
        first.setDevicePath(unitPort());
        QVERIFY2(first.open(), qPrintable(first.errorString()));
        SerialLink second;
        second.setDevicePath(unitPort());
        if (second.open())
            QSKIP("Wine lets a second handle open a COM port that is open (Windows refuses it)");
        QVERIFY2(second.errorString().startsWith(unitPort() + QStringLiteral(": ")),
                 qPrintable(second.errorString()));
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

QTEST_MAIN(WineSerialLinkTest)
#include "tst_wine_serial_link.moc"
