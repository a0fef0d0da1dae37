// Link supervision against real peers: a simulated unit (or a bare pseudo-terminal) published
// as COM<n> in the station's folder, and loopback TCP servers. The supervision tick is called
// directly; the waits for bytes and socket events are real.
#include "app/TrayIcon.h"
#include "link/Banner.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray kHandshake = QByteArray::fromHex("40010000000031000000 65D70A");
const QByteArray kHandshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));

int countContaining(const QStringList &lines, const QString &text)
{
    int n = 0;
    for (const QString &line : lines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

} // namespace

class LinkSupervisionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<StationFixture> f;

    F_MAIN &w() { return f->w(); }
    Supervision &supervision() { return w().supervision(); }
    void tick() { supervision().TIM_SERIAL_CONNECT_Timer(); }
    QString status() { return w().AFF_SERIAL_STATUS->text(); }
    bool statusIsGreen() { return w().AFF_SERIAL_STATUS->styleSheet().contains("green"); }
    QString comPath(int n) { return f->folder() + QStringLiteral("COM%1").arg(n); }
    void setPort(const QString &text) { w().INP_SERIAL_PORT->setText(text); }

    void start(quint16 tcpPort = 0)
    {
        f = std::make_unique<StationFixture>(0, tcpPort);
        supervision().selectLink(0);
    }

private slots:
    void cleanup() { f.reset(); }

    void statusIsGreenExactlyWhileItReadsConnected_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("green");
        QTest::newRow("Connected") << "Connected" << true;
        QTest::newRow("Error") << "Error" << false;
        QTest::newRow("Disconnected") << "Disconnected" << false;
        QTest::newRow("lower case") << "connected" << false;
        QTest::newRow("trailing blank") << "Connected " << false;
    }
    void statusIsGreenExactlyWhileItReadsConnected()
    {
        QFETCH(QString, caption);
        QFETCH(bool, green);
        start();
        supervision().setSerialStatus(QStringLiteral("Connected"));
        supervision().setSerialStatus(QStringLiteral("Error"));
        supervision().setSerialStatus(caption);
        QCOMPARE(status(), caption);
        QCOMPARE(statusIsGreen(), green);
        QCOMPARE(w().AFF_SERIAL_STATUS->styleSheet().contains("red"), !green);
    }

    void firstTickOpensThePortAndSendsExactlyOneHandshake()
    {
        start();
        QVERIFY(f->peer().open(comPath(1)));
        setPort(QStringLiteral("1"));
        tick();

        QCOMPARE(status(), QStringLiteral("Connected"));
        QVERIFY(statusIsGreen());
        QVERIFY(w().Serial->isOpen());
        QVERIFY(!w().FR_ERROR->isHidden());
        QCOMPARE(w().AFF_MSG[0]->text(),
                 QStringLiteral("Establish communication with Trelvane source unit"));
        QCOMPARE(f->readSent(13).toHex(' '), kHandshake.toHex(' '));

        // Connected: further ticks leave the link alone.
        tick();
        tick();
        QCOMPARE(f->readSent(1, 200), QByteArray());

        QVERIFY(f->feedSerial(kHandshakeReply));
        w().dispatcher().SERIAL_RX_Timer();
        QVERIFY(w().FR_ERROR->isHidden());
        QCOMPARE(w().AFF_MSG[0]->text(),
                 QStringLiteral("Communication with Trelvane source unit established."));
    }

    void unitAnswersTheHandshakeAndTheErrorFrameGoes()
    {
        start();
        SimulatedUnit unit;
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        w().SERIAL_RX->start(); // the receive poll runs as the unit's bytes arrive
        tick();
        QVERIFY(!w().FR_ERROR->isHidden());
        QTRY_VERIFY(w().FR_ERROR->isHidden());
        QCOMPARE(w().AFF_MSG[0]->text(),
                 QStringLiteral("Communication with Trelvane source unit established."));
        QCOMPARE(status(), QStringLiteral("Connected"));
    }

    void silentUnitIsReportedByTheBannerAndTheLinkStaysConnected()
    {
        start();
        SimulatedUnit unit;
        unit.setSilent(true);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        w().SERIAL_RX->start();
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        tick();
        QTRY_COMPARE(requests.size(), 1);
        // The countdown of the waiting text runs out on the ninth tick.
        for (int i = 0; i < 9; ++i)
            w().banner().TIM_HIDE_MSG_Timer();
        QCOMPARE(w().AFF_MSG[0]->text(),
                 QStringLiteral("Communication Error with Trelvane source unit."));
        QCOMPARE(f->dialogs.beeps(), 3);
        QCOMPARE(status(), QStringLiteral("Connected")); // nothing retries on its own
        QVERIFY(!w().FR_ERROR->isHidden());
        tick();
        QCOMPARE(requests.size(), 1);
    }

    void reconnectSendsExactlyOneNewHandshake()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(requests.count(), 1);

        w().setEnabled(true); // the banner has run its time: the button takes clicks
        w().B_RECONNECT->click();
        QCOMPARE(w().INP_SERIAL_PORT->text(), QStringLiteral("1"));
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QVERIFY(!statusIsGreen());
        QVERIFY(!w().Serial->isOpen());

        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QTRY_COMPARE(requests.count(), 2);
        tick();
        QTest::qWait(200);
        QCOMPARE(requests.count(), 2);
        for (const QList<QVariant> &request : requests)
            QCOMPARE(request.at(0).toByteArray(), kHandshake);
    }

    void portNumberChangeClosesAtOnceAndReopensOnTheNextTick()
    {
        start();
        SimulatedUnit first;
        SimulatedUnit second;
        QSignalSpy toFirst(&first, &SimulatedUnit::requestReceived);
        QSignalSpy toSecond(&second, &SimulatedUnit::requestReceived);
        QVERIFY(first.listenSerial(comPath(1)));
        QVERIFY(second.listenSerial(comPath(2)));
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(toFirst.count(), 1);

        setPort(QStringLiteral("2"));
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QVERIFY(!w().Serial->isOpen());
        // The new number is saved at once.
        QFile config(f->folder() + QStringLiteral("Trelvane.cfg"));
        QVERIFY(config.open(QIODevice::ReadOnly));
        QCOMPARE(config.readLine().trimmed(), QByteArray("2"));

        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(w().Serial->devicePath(), comPath(2));
        QTRY_COMPARE(toSecond.count(), 1);
        QCOMPARE(toSecond.at(0).at(0).toByteArray(), kHandshake);
        QCOMPARE(toFirst.count(), 1);
    }

    void openPortUnderAnotherStatusIsClosedByOneTickAndReopenedByTheNext()
    {
        start();
        setPort(QStringLiteral("1"));
        QVERIFY(f->openSerialPeer(1)); // opened behind the supervision's back
        QCOMPARE(status(), QStringLiteral("Disconnected"));

        tick();
        QVERIFY(!w().Serial->isOpen());
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QCOMPARE(f->readSent(1, 100), QByteArray());

        tick();
        QVERIFY(w().Serial->isOpen());
        QCOMPARE(status(), QStringLiteral("Connected"));
        QCOMPARE(f->readSent(13).toHex(' '), kHandshake.toHex(' '));
    }

    void missingDeviceShowsErrorWithPathAndReasonAndLogsEachReasonOnce()
    {
        start();
        f->enableLog();
        // A published port whose device has gone: the link points nowhere.
        QVERIFY(QFile::link(f->folder() + QStringLiteral("no-such-device"), comPath(5)));
        setPort(QStringLiteral("5"));
        w().hide();
        tick();

        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(!statusIsGreen());
        QVERIFY(!w().Serial->isOpen());
        QVERIFY(w().isVisible()); // brought forward
        const QString tip = w().AFF_SERIAL_STATUS->toolTip();
        QVERIFY2(tip.contains(comPath(5)), qPrintable(tip));
        QVERIFY2(tip.size() > comPath(5).size() + 2, qPrintable(tip)); // and the reason

        tick();
        tick();
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("Serial port not opened")), 1);
        QVERIFY(countContaining(f->logLines(), tip) == 1);

        setPort(QStringLiteral("abc"));
        tick();
        tick();
        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(w().AFF_SERIAL_STATUS->toolTip().contains(QStringLiteral("abc")));
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("Serial port not opened")), 2);
    }

    void portTextsThatNameNoPortGiveError_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("negative") << "-3";
        QTest::newRow("beyond 16 bits") << "99999999";
        QTest::newRow("just beyond 16 bits") << "32768";
        QTest::newRow("zero") << "0";
        QTest::newRow("fraction") << "1.5";
        QTest::newRow("empty") << "";
    }
    void portTextsThatNameNoPortGiveError()
    {
        QFETCH(QString, text);
        start();
        // Units on COM1 and COM2, so that no rounding or truncation may reach a real port.
        SimulatedUnit one;
        SimulatedUnit two;
        QVERIFY(one.listenSerial(comPath(1)));
        QVERIFY(two.listenSerial(comPath(2)));
        setPort(QStringLiteral("7"));
        setPort(text);
        tick();
        QCOMPARE(status(), QStringLiteral("Error"));
        QVERIFY(!w().Serial->isOpen());
        QVERIFY(w().AFF_SERIAL_STATUS->toolTip().contains(QLatin1Char('"') + text + '"'));
    }

    void vanishedDeviceIsReportedOnceAndHandshakesAgainWhenBack()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        QSignalSpy replugged(&unit, &SimulatedUnit::serialOpened);
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(requests.count(), 1);
        f->enableLog();
        QSignalSpy lost(w().Serial, &SerialLink::lost);

        unit.unplug(600);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Disconnected"), 500);
        QVERIFY(!w().Serial->isOpen());
        QVERIFY(w().AFF_SERIAL_STATUS->toolTip().contains(comPath(1)));
        QTest::qWait(200);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(countContaining(f->logLines(), QStringLiteral("Serial port lost")), 1);

        QTRY_COMPARE_WITH_TIMEOUT(replugged.count(), 1, 3000);
        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QTRY_COMPARE(requests.count(), 2);
        QCOMPARE(requests.at(1).at(0).toByteArray(), kHandshake);
    }

    void vanishedDeviceWhileTcpIsSelectedIsReopenedAfterSwitchingBack()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        tick();
        QTRY_COMPARE(requests.count(), 1);

        supervision().selectLink(1);
        unit.unplug(100);
        QTRY_VERIFY(!w().Serial->isOpen());
        QCOMPARE(status(), QStringLiteral("Connected")); // the TCP link's, meanwhile
        QTRY_VERIFY(unit.isSerialOpen());

        supervision().selectLink(0);
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        tick();
        QCOMPARE(status(), QStringLiteral("Connected"));
        QTRY_COMPARE(requests.count(), 2);
    }

    void tickWithTcpSelectedLeavesTheSerialPortAlone()
    {
        start();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(comPath(1)));
        setPort(QStringLiteral("1"));
        supervision().selectLink(1);
        // The desktop has lost the icon: the tick puts it back, whatever the link.
        w().trayIcon().fillData();
        w().trayIcon().add();
        w().trayIcon().icon().hide();
        tick();
        QVERIFY(w().trayIcon().isShown());
        tick();
        QCOMPARE(status(), QStringLiteral("Disconnected"));
        QVERIFY(!w().Serial->isOpen());
        QVERIFY(w().FR_ERROR->isHidden());
        QTest::qWait(100);
        QCOMPARE(requests.count(), 0);
    }

    void tcpConnectSetsBothLabelsAndSelectingSerialClosesIt()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        start(server.serverPort());
        w().INP_IP->setText(QStringLiteral("127.0.0.1"));
        w().SW_COMM[1]->click();
        QVERIFY(!w().serialSelected());

        w().B_CONNECT_IP->click();
        QCOMPARE(w().AFF_TCP_STATUS->text(), QStringLiteral("Disconnect"));
        QTRY_COMPARE(w().AFF_TCP_STATUS->text(), QStringLiteral("Connected"));
        QCOMPARE(status(), QStringLiteral("Connected"));
        QVERIFY(statusIsGreen());
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *first = server.nextPendingConnection();

        // Connecting again drops the first connection before making the new one.
        supervision().B_CONNECT_IP_Click();
        QTRY_COMPARE(w().AFF_TCP_STATUS->text(), QStringLiteral("Connected"));
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *second = server.nextPendingConnection();
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);

        w().SW_COMM[0]->click();
        QVERIFY(w().TCP_SOURCE->isFullyClosed());
        QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
    }

    void tcpConnectToAClosedPortShowsTheErrorOnTheTcpLabelOnly()
    {
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            closedPort = probe.serverPort();
        }
        start(closedPort);
        supervision().setSerialStatus(QStringLiteral("Error"));
        w().INP_IP->setText(QStringLiteral("127.0.0.1"));
        supervision().selectLink(1);
        supervision().B_CONNECT_IP_Click();
        QTRY_VERIFY(w().AFF_TCP_STATUS->text().startsWith(QStringLiteral("Error: ")));
        QVERIFY(w().AFF_TCP_STATUS->text().size() > 7);
        QCOMPARE(status(), QStringLiteral("Error"));
    }
};

QTEST_MAIN(LinkSupervisionTest)
#include "tst_link_supervision.moc"
