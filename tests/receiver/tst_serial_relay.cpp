#include "config/ModeSwitch.h"
#include "link/SerialLink.h"
#include "support/FreePort.h"
#include "support/HeadlessStationFixture.h"
#include "support/RawSerialPeer.h"
#include "sync/SerialRelay.h"
#include "sync/UdpReceiver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

namespace {

// Template data of one size, different for each index: the first byte keeps it from looking
// like a header.
QByteArray bigDatagram(int index, int size = 60000)
{
    QByteArray d(size, '\0');
    for (int i = 0; i < size; ++i)
        d[i] = static_cast<char>((i * 13 + index * 101) & 0xFF);
    d[0] = 'A';
    return d;
}

} // namespace

class SerialRelayTest : public QObject
{
    Q_OBJECT
private slots:
    void stalledSerialLineBoundsTheBacklogAndRelayResumesWhole();
};

void SerialRelayTest::stalledSerialLineBoundsTheBacklogAndRelayResumesWhole()
{
    HeadlessStationFixture f(freeUdpPort());
    QDir(f.folder()).mkdir(QStringLiteral("templates"));
    f.state().setTemplatesFolder(f.folder() + QStringLiteral("templates/"));
    RawSerialPeer unit; // reads nothing until told
    const QString link = f.folder() + QStringLiteral("COM7");
    QVERIFY(unit.open(link));
    f.state().setSelectedLink(StationState::Link::Serial);
    f.station().serial().setDevicePath(link);
    QVERIFY(f.station().serial().open());
    f.enableLog();
    f.station().modeSwitch().select(1);
    UdpReceiver &receiver = f.station().udpReceiver();
    QUdpSocket sender;

    // A flood of large datagrams, each waited for so that the socket drops none.
    const int flood = 30;
    qint64 largestBacklog = 0;
    for (int i = 0; i < flood; ++i) {
        sender.writeDatagram(bigDatagram(i), QHostAddress::LocalHost,
                             f.station().options().udpPort);
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagramsHandled(), quint64(i + 1), 5000);
        largestBacklog = qMax(largestBacklog, f.station().serial().bytesToWrite());
    }
    QVERIFY(largestBacklog <= SerialRelay::kBacklogLimit);
    QVERIFY(receiver.relay().overloaded());
    const qint64 skipped = receiver.relay().notRelayed();
    const int relayedBefore = flood - int(skipped);
    QVERIFY(relayedBefore >= 2);
    QVERIFY(skipped > 0);
    // Still traced, every one of them (by its first bytes and its length: longer than the
    // largest template).
    QCOMPARE(f.logBytes().count("... (60000 bytes)\r\n"), flood);

    // The unit reads again: what was queued arrives whole and in order, then the relay
    // resumes with the next datagram.
    QByteArray expected;
    for (int i = 0; i < relayedBefore; ++i)
        expected += bigDatagram(i);
    QByteArray got;
    QDeadlineTimer deadline(10000);
    while (got.size() < expected.size() && !deadline.hasExpired()) {
        got += unit.readAvailable();
        QTest::qWait(1);
    }
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    QTRY_COMPARE(f.station().serial().bytesToWrite(), qint64(0));

    QByteArray after;
    for (int i = 0; i < 3; ++i) {
        const QByteArray d = bigDatagram(100 + i, 5000 + i);
        after += d;
        sender.writeDatagram(d, QHostAddress::LocalHost, f.station().options().udpPort);
    }
    QTRY_COMPARE(receiver.datagramsHandled(), quint64(flood + 3));
    got.clear();
    deadline.setRemainingTime(5000);
    while (got.size() < after.size() && !deadline.hasExpired()) {
        got += unit.readAvailable();
        QTest::qWait(1);
    }
    QVERIFY(got == after);
    QVERIFY(!receiver.relay().overloaded());

    QStringList relayLines;
    for (const QString &line : f.logLines()) {
        if (line.mid(9).startsWith(QStringLiteral("Serial relay")))
            relayLines << line.mid(9);
    }
    QCOMPARE(relayLines.size(), 2);
    QVERIFY2(relayLines[0].startsWith(QStringLiteral("Serial relay overloaded: ")),
             qPrintable(relayLines[0]));
    QCOMPARE(relayLines[1], QStringLiteral("Serial relay resumed: %1 datagram(s) were not "
                                           "relayed while the serial line was overloaded")
                                .arg(skipped));
}

QTEST_GUILESS_MAIN(SerialRelayTest)
#include "tst_serial_relay.moc"
