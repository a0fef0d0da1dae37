// What the window adds to the source link's supervision: the operator's buttons reach it, an
// error brings the window forward, and each tick puts a lost tray icon back. The supervision
// itself is tried without a window (tst_link_supervision).
#include "app/TrayIcon.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class LinkWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void theOperatorsButtonsReachTheSupervision()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        StationFixture f(0, server.serverPort());
        F_MAIN &w = f.w();
        SimulatedUnit unit;
        QSignalSpy requests(&unit, &SimulatedUnit::requestReceived);
        QVERIFY(unit.listenSerial(f.folder() + QStringLiteral("COM1")));
        w.supervision().selectLink(0);
        w.INP_SERIAL_PORT->setText(QStringLiteral("1"));
        w.supervision().TIM_SERIAL_CONNECT_Timer();
        QTRY_COMPARE(requests.count(), 1);

        // Reconnect closes the port; the next tick opens it again.
        w.setEnabled(true);
        w.B_RECONNECT->click();
        QVERIFY(!w.Serial->isOpen());
        QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Disconnected"));

        // TCP chosen and connected by its buttons; choosing the serial port closes it.
        w.INP_IP->setText(QStringLiteral("127.0.0.1"));
        w.SW_COMM[1]->click();
        QVERIFY(!w.state().serialSelected());
        w.B_CONNECT_IP->click();
        QTRY_COMPARE(w.AFF_TCP_STATUS->text(), QStringLiteral("Connected"));
        w.SW_COMM[0]->click();
        QVERIFY(w.state().serialSelected());
        QVERIFY(w.TCP_SOURCE->isFullyClosed());
    }

    void aPortErrorBringsTheWindowForward()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.supervision().selectLink(0);
        QVERIFY(QFile::link(f.folder() + QStringLiteral("no-such-device"),
                            f.folder() + QStringLiteral("COM5")));
        w.INP_SERIAL_PORT->setText(QStringLiteral("5"));
        w.hide();
        w.supervision().TIM_SERIAL_CONNECT_Timer();
        QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Error"));
        QVERIFY(w.isVisible());
    }

    void eachTickPutsALostTrayIconBack()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.supervision().selectLink(1); // whatever the link
        w.trayIcon().fillData();
        w.trayIcon().add();
        w.trayIcon().icon().hide();
        w.supervision().TIM_SERIAL_CONNECT_Timer();
        QVERIFY(w.trayIcon().isShown());
    }
};

QTEST_MAIN(LinkWindowTest)
#include "tst_link_window.moc"
