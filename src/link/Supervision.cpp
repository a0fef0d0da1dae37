#include "link/Supervision.h"

#include "app/F_MAIN.h"
#include "app/LiveValue.h"
#include "app/TrayIcon.h"
#include "config/ConfigFile.h"
#include "enroll/Enrollment.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "platform/SerialDeviceNaming.h"
#include "util/NumericValue.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

const QString kConnected = QStringLiteral("Connected");

// The port number the operator typed, or 0 when the text names no port (not a number, a
// fraction, zero, negative, or beyond a 16-bit integer).
int portNumberOf(const QString &text)
{
    const double value = numericValue(text);
    if (!isWholeNumber(value) || value < 1 || value > Supervision::kMaxPortNumber)
        return 0;
    return static_cast<int>(value);
}

} // namespace

Supervision::Supervision(F_MAIN &w) : w(w)
{
    connect(w.TIM_SERIAL_CONNECT, &QTimer::timeout, this, &Supervision::TIM_SERIAL_CONNECT_Timer);
    connect(w.INP_SERIAL_PORT, &QLineEdit::textChanged, this, &Supervision::INP_SERIAL_PORT_Change);
    connect(w.B_RECONNECT, &QPushButton::clicked, this, &Supervision::B_RECONNECT_Click);
    connect(w.B_CONNECT_IP, &QPushButton::clicked, this, &Supervision::B_CONNECT_IP_Click);
    for (int i = 0; i < int(w.SW_COMM.size()); ++i)
        connect(w.SW_COMM[i], &QRadioButton::clicked, this, [this, i] { SW_COMM_Click(i); });
    connect(w.TCP_SOURCE, &TcpLink::connected, this, &Supervision::TCP_SOURCE_Connect);
    connect(w.TCP_SOURCE, &TcpLink::errorOccurred, this, &Supervision::TCP_SOURCE_Error);
    connect(w.Serial, &SerialLink::lost, this, &Supervision::onSerialLost);
}

void Supervision::TIM_SERIAL_CONNECT_Timer()
{
    // The notification area may have lost the icon (a restarted shell): register it again.
    w.trayIcon().add();
    if (!w.serialSelected())
        return;
    if (w.AFF_SERIAL_STATUS->text() == kConnected)
        return;
    // A port left open under "Disconnected" or "Error" is restarted: closed now, opened by
    // the next tick.
    if (w.Serial->isOpen()) {
        w.Serial->close();
        return;
    }
    if (!openSerialPort())
        return;
    m_lastLoggedFailure.clear();
    setSerialStatus(kConnected);
    w.AFF_SERIAL_STATUS->setToolTip(w.Serial->devicePath());
    w.AFF_LOG_MSG(QStringLiteral("Establish communication with Trelvane source unit"), 1);
    w.AFF_LOG_MSG(QString(), 2);
    // Shown until the unit answers the handshake.
    w.FR_ERROR->show();
    w.enrollment().SOURCE_COMMAND(QStringLiteral("99999"), QStringLiteral("INIT"));
}

bool Supervision::openSerialPort()
{
    const QString text = w.INP_SERIAL_PORT->text();
    const int number = portNumberOf(text);
    if (number == 0) {
        reportOpenFailure(QStringLiteral("Serial port number \"%1\" names no port").arg(text));
        return false;
    }
    const QString path = serialDevicePath(number, w.AFF_CURDIR->text());
    w.Serial->setDevicePath(path);
    if (w.Serial->open())
        return true;
    QString reason = w.Serial->errorString();
    if (!reason.contains(path))
        reason = path + QStringLiteral(": ") + reason;
    reportOpenFailure(reason);
    return false;
}

void Supervision::reportOpenFailure(const QString &reason)
{
    w.SHOW_MAIN_WINDOW();
    setSerialStatus(QStringLiteral("Error"));
    w.AFF_SERIAL_STATUS->setToolTip(reason);
    // The open is retried every second: log a failure when it first happens or its reason
    // changes, not on every retry.
    if (reason != m_lastLoggedFailure) {
        m_lastLoggedFailure = reason;
        w.WRITE_LOG(QStringLiteral("Serial port not opened: ") + reason);
    }
}

void Supervision::onSerialLost(const QString &reason)
{
    // The port is closed already. Under "Disconnected" the next tick opens it again, and
    // greets the unit, as soon as the device is back.
    m_lastLoggedFailure.clear();
    w.AFF_SERIAL_STATUS->setToolTip(reason);
    w.WRITE_LOG(QStringLiteral("Serial port lost: ") + reason);
    if (w.serialSelected())
        setSerialStatus(QStringLiteral("Disconnected"));
    else
        m_lostWhileTcpSelected = true; // the caption speaks for the TCP link meanwhile
}

void Supervision::INP_SERIAL_PORT_Change()
{
    setSerialStatus(QStringLiteral("Disconnected"));
    w.AFF_SERIAL_STATUS->setToolTip(QString());
    w.Serial->close();
    w.configFile().B_SAVE_CFG_Click();
}

void Supervision::B_RECONNECT_Click()
{
    // Two changes of the port number: the port is closed and the next tick reopens it.
    const QString number = w.INP_SERIAL_PORT->text();
    w.INP_SERIAL_PORT->setText(QStringLiteral("0"));
    w.INP_SERIAL_PORT->setText(number);
}

void Supervision::AFF_SERIAL_STATUS_Change()
{
    const bool connected = w.AFF_SERIAL_STATUS->text() == kConnected;
    w.AFF_SERIAL_STATUS->setStyleSheet(connected ? QStringLiteral("background-color: green;")
                                                 : QStringLiteral("background-color: red;"));
    announceLiveRegion(w.AFF_SERIAL_STATUS);
}

void Supervision::setSerialStatus(const QString &caption)
{
    if (w.AFF_SERIAL_STATUS->text() == caption)
        return;
    w.AFF_SERIAL_STATUS->setText(caption);
    AFF_SERIAL_STATUS_Change();
}

void Supervision::selectLink(int index)
{
    w.SW_COMM[index]->setChecked(true);
    SW_COMM_Click(index);
}

void Supervision::SW_COMM_Click(int /*Index*/)
{
    if (!w.serialSelected())
        return;
    w.TCP_SOURCE->close();
    // The serial port went away while TCP was in use: "Connected" was the TCP link's, so
    // let the next tick reopen the port.
    if (m_lostWhileTcpSelected) {
        m_lostWhileTcpSelected = false;
        if (!w.Serial->isOpen())
            setSerialStatus(QStringLiteral("Disconnected"));
    }
}

void Supervision::B_CONNECT_IP_Click()
{
    w.TCP_SOURCE->close();
    waitForTcpClosed();
    w.AFF_TCP_STATUS->setText(QStringLiteral("Disconnect"));
    w.TCP_SOURCE->connectToHost(w.INP_IP->text(), w.options().tcpPort);
}

void Supervision::waitForTcpClosed()
{
    constexpr double kStepSeconds = 0.05;
    const double start = w.clock().secondsSinceMidnight();
    while (!w.TCP_SOURCE->isFullyClosed()) {
        const double now = w.clock().secondsSinceMidnight();
        if (now - start >= kTcpCloseWaitSeconds || now < start)
            return;
        w.waits().serveEventsFor(kStepSeconds);
    }
}

void Supervision::TCP_SOURCE_Connect()
{
    w.AFF_TCP_STATUS->setText(kConnected);
    // No handshake on a TCP link.
    setSerialStatus(kConnected);
}

void Supervision::TCP_SOURCE_Error(const QString &description)
{
    w.AFF_TCP_STATUS->setText(QStringLiteral("Error: ") + description);
}
