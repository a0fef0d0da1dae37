// The simulated unit through its real transports: a pseudo-terminal opened as a serial port,
// TCP and UDP on the loopback interface.

#include "SimulatedUnit.h"
#include "link/Frame.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {

const QByteArray kHandshakeReply = QByteArray::fromHex("4001650000000000000061070A");

QByteArray allByteValues()
{
    QByteArray out;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 256; ++i)
            out.append(static_cast<char>(round == 0 ? i : 255 - i));
    }
    return out;
}

QList<QByteArray> uploadPieces(quint32 user, const QByteArray &data)
{
    return {Frame::uploadAnnounce(UnitProtocol::userBytes(user), true), Frame::uploadDataHeader(),
            data, Frame::trailer(data)};
}

// A serial port on the unit's link, closed as soon as the line drops (a dropped pty keeps
// reporting read errors otherwise).
class SerialClient : public QObject
{
public:
    explicit SerialClient(const QString &path)
    {
        port.setPortName(path); // the full path: a bare name would be looked up in /dev
        port.setBaudRate(QSerialPort::Baud57600);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        connect(&port, &QSerialPort::readyRead, this, [this] { received += port.readAll(); });
        connect(&port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError)
                port.close();
        });
    }
    bool open() { return port.open(QIODevice::ReadWrite); }
    void send(const QByteArray &bytes)
    {
        port.write(bytes);
        port.flush();
    }

    QSerialPort port;
    QByteArray received;
};

} // namespace

class TestSimulatedUnit : public QObject
{
    Q_OBJECT

private slots:
    void serialCarriesEveryByteValueBothWays();
    void unplugDropsTheLinkAndBringsItBack();
    void udpUploadAndDeleteAreCarriedOutWithoutAnswer();
    void enrollmentCompletesByItselfAndNextTcpClientReadsTheTemplate();
    void pacedAnswersArriveWholeAndLate_data();
    void pacedAnswersArriveWholeAndLate();
};

void TestSimulatedUnit::serialCarriesEveryByteValueBothWays()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("COM1");
    SimulatedUnit unit;
    QVERIFY2(unit.listenSerial(link), qPrintable(unit.errorString()));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), unit.serialSlavePath());

    SerialClient station(link);
    QVERIFY2(station.open(), qPrintable(station.port.errorString()));
    station.send(Frame::handshake());
    QTRY_COMPARE_WITH_TIMEOUT(station.received, kHandshakeReply, 2000);

    // An upload paced like the station's (the data ends where the line falls silent).
    QSignalSpy stored(&unit, &SimulatedUnit::templateStored);
    const QByteArray data = allByteValues();
    for (const QByteArray &piece : uploadPieces(12345, data)) {
        station.send(piece);
        QTest::qWait(100);
    }
    QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 1, 2000);
    QCOMPARE(stored.first().at(0).value<quint32>(), 12345u);
    QCOMPARE(unit.templates(12345), QList<QByteArray>{data});

    station.received.clear();
    station.send(Frame::firstTemplate(UnitProtocol::userBytes(12345)));
    QTRY_COMPARE_WITH_TIMEOUT(station.received.size(), 26 + data.size() + 4, 2000);
    QCOMPARE(station.received.mid(26, data.size()), data);
    QCOMPARE(station.received.right(4), Frame::trailer(data));
}

void TestSimulatedUnit::unplugDropsTheLinkAndBringsItBack()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("COM3");
    SimulatedUnit unit;
    QVERIFY(unit.listenSerial(link));
    {
        SerialClient station(link);
        QVERIFY(station.open());
        unit.unplug(300);
        QVERIFY(!QFileInfo(link).isSymLink());
        QTRY_VERIFY_WITH_TIMEOUT(!station.port.isOpen(), 2000); // the station sees the drop
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 2000);

    SerialClient again(link);
    QVERIFY2(again.open(), qPrintable(again.port.errorString()));
    again.send(Frame::handshake());
    QTRY_COMPARE_WITH_TIMEOUT(again.received, kHandshakeReply, 2000);
}

void TestSimulatedUnit::udpUploadAndDeleteAreCarriedOutWithoutAnswer()
{
    SimulatedUnit unit;
    QVERIFY(unit.listenUdp(0, QHostAddress::LocalHost));
    QVERIFY(unit.udpPort() != 0);
    QSignalSpy stored(&unit, &SimulatedUnit::templateStored);
    QSignalSpy deleted(&unit, &SimulatedUnit::userDeleted);

    QUdpSocket station;
    QVERIFY(station.bind(QHostAddress::LocalHost, 0));
    const QByteArray data = allByteValues();
    for (const QByteArray &piece : uploadPieces(12345, data))
        station.writeDatagram(piece, QHostAddress::LocalHost, unit.udpPort());
    QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 1, 2000);
    QCOMPARE(unit.templates(12345), QList<QByteArray>{data});

    station.writeDatagram(Frame::deleteUser(UnitProtocol::userBytes(12345)),
                          QHostAddress::LocalHost, unit.udpPort());
    QTRY_COMPARE_WITH_TIMEOUT(deleted.size(), 1, 2000);
    QCOMPARE(deleted.first().at(0).value<quint32>(), 12345u);
    QVERIFY(unit.templates(12345).isEmpty());
    QTest::qWait(20);
    QVERIFY(!station.hasPendingDatagrams());
}

void TestSimulatedUnit::enrollmentCompletesByItselfAndNextTcpClientReadsTheTemplate()
{
    SimulatedUnit::Options options;
    options.autoEnrollMs = 20;
    options.templateBytes = 200;
    SimulatedUnit unit(options);
    QVERIFY(unit.listenTcp(0, QHostAddress::LocalHost));

    QByteArray enrolled;
    {
        QTcpSocket station;
        station.connectToHost(QHostAddress::LocalHost, unit.tcpPort());
        QVERIFY(station.waitForConnected(2000));
        connect(&station, &QTcpSocket::readyRead, this, [&] { enrolled += station.readAll(); });
        station.write(Frame::enroll(UnitProtocol::userBytes(777)));
        // Acknowledgement, three quality frames, the user frame.
        QTRY_COMPARE_WITH_TIMEOUT(enrolled.size(), 5 * 13, 2000);
    }
    QCOMPARE(enrolled.at(13 + 6), char(40));
    QCOMPARE(enrolled.at(26 + 6), char(65));
    QCOMPARE(enrolled.at(39 + 6), char(87));
    QCOMPARE(enrolled.mid(52, 6), QByteArray::fromHex("401109030000"));
    QCOMPARE(unit.templates(777).size(), 2);

    QByteArray reply;
    QTcpSocket next;
    next.connectToHost(QHostAddress::LocalHost, unit.tcpPort());
    QVERIFY(next.waitForConnected(2000));
    connect(&next, &QTcpSocket::readyRead, this, [&] { reply += next.readAll(); });
    next.write(Frame::firstTemplate(UnitProtocol::userBytes(777)));
    QTRY_COMPARE_WITH_TIMEOUT(reply.size(), 26 + 200 + 4, 2000);
    QCOMPARE(reply.mid(26, 200), unit.templates(777).first());
}

void TestSimulatedUnit::pacedAnswersArriveWholeAndLate_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("split");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("minimumMs");

    // The answer is 13 + 13 + 100 + 4 = 130 bytes.
    QTest::newRow("9600 baud: 130 bytes take 135 ms") << 9600 << 0 << 0 << 120;
    QTest::newRow("pieces of 5 bytes, 2 ms apart") << 0 << 5 << 0 << 40;
    QTest::newRow("delayed by 150 ms") << 0 << 0 << 150 << 150;
    QTest::newRow("delay, pieces and baud together") << 19200 << 7 << 50 << 110;
}

void TestSimulatedUnit::pacedAnswersArriveWholeAndLate()
{
    QFETCH(int, baud);
    QFETCH(int, split);
    QFETCH(int, delay);
    QFETCH(int, minimumMs);

    SimulatedUnit::Options options;
    options.baud = baud;
    SimulatedUnit unit(options);
    const QByteArray data = allByteValues().left(100);
    unit.setTemplates(5, {data});
    unit.setSplit(split);
    unit.setDelay(delay);
    QVERIFY(unit.listenTcp(0, QHostAddress::LocalHost));

    QTcpSocket station;
    station.connectToHost(QHostAddress::LocalHost, unit.tcpPort());
    QVERIFY(station.waitForConnected(2000));
    QByteArray reply;
    connect(&station, &QTcpSocket::readyRead, this, [&] { reply += station.readAll(); });
    QElapsedTimer clock;
    clock.start();
    station.write(Frame::firstTemplate(UnitProtocol::userBytes(5)));
    QTRY_COMPARE_WITH_TIMEOUT(reply.size(), 130, 3000);
    QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(reply.mid(26, 100), data);
    QCOMPARE(reply.right(4), Frame::trailer(data));
}

QTEST_GUILESS_MAIN(TestSimulatedUnit)
#include "tst_SimulatedUnit.moc"
