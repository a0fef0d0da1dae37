// The Windows serial link against a real unit: the Linux simulated unit on a pseudo-terminal,
// which Wine shows to this program as a COM port (tests/windows/with-unit starts it). The
// bytes and the waits are real. The station's own use of the link is in
// tst_wine_station_link.
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "platform/SerialDeviceNaming.h"
#include "windows/WineUnit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray kHandshake = QByteArray::fromHex("40010000000031000000 65D70A");
const QByteArray kHandshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));

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

    // A port opened twice: Windows gives a COM port to one program at a time. Last of the
    // cases: Wine lets the second handle open, and the line behind them gives errors
    // afterwards.
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
};

QTEST_MAIN(WineSerialLinkTest)
#include "tst_wine_serial_link.moc"
