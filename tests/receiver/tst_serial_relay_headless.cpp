#include "link/SerialLink.h"
#include "log/ActivityLog.h"
#include "support/HeadlessStationFixture.h"
#include "support/RawSerialPeer.h"
#include "sync/SerialRelay.h"

#include <QDeadlineTimer>
#include <QTest>

// The relay works on a station's serial link and activity log alone: no window is built.
class SerialRelayHeadlessTest : public QObject
{
    Q_OBJECT
private slots:
    void closedPortRelaysNothingAndStaysCalm();
    void datagramsReachTheUnitWholeAndInOrder();
};

void SerialRelayHeadlessTest::closedPortRelaysNothingAndStaysCalm()
{
    HeadlessStationFixture s;
    SerialRelay relay(s.station().serial(), s.station().activityLog());
    QVERIFY(!relay.relay(QByteArray(100, 'x')));
    // A closed port is no overload: nothing is counted, nothing said in the log.
    QVERIFY(!relay.overloaded());
    QCOMPARE(relay.notRelayedInAll(), 0);
    QCOMPARE(relay.overloads(), 0);
}

void SerialRelayHeadlessTest::datagramsReachTheUnitWholeAndInOrder()
{
    HeadlessStationFixture s;
    RawSerialPeer unit;
    const QString link = s.folder() + QStringLiteral("COM7");
    QVERIFY(unit.open(link));
    SerialLink &serial = s.station().serial();
    serial.setDevicePath(link);
    QVERIFY(serial.open());
    SerialRelay relay(serial, s.station().activityLog());

    // Every byte value, and a datagram that looks like a frame: passed on unchanged.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QByteArray frame = QByteArray::fromHex("4087393000000000000000000d");
    QVERIFY(relay.relay(all));
    QVERIFY(relay.relay(frame));

    const QByteArray expected = all + frame;
    QByteArray got;
    QDeadlineTimer deadline(5000);
    while (got.size() < expected.size() && !deadline.hasExpired()) {
        got += unit.readAvailable();
        QTest::qWait(1);
    }
    QCOMPARE(got.toHex(), expected.toHex());
    QVERIFY(!relay.overloaded());
}

QTEST_GUILESS_MAIN(SerialRelayHeadlessTest)
#include "tst_serial_relay_headless.moc"
