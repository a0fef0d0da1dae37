#include "link/Supervision.h"

#include "app/F_MAIN.h"
#include "app/TrayIcon.h"
#include "config/ConfigFile.h"
#include "enroll/Enrollment.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "platform/SerialLock.h"
#include "util/NumericValue.h"

#include <QFileInfo>
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

// A lock file in the system's lock folder keeps the port: any account can leave one there,
// so its file and process are named for whoever looks into it.
QString lockedWords(const SerialLock::Holder &holder)
{
    QString process = QStringLiteral("a process that is not known");
    if (holder.pid > 0)
        process = QStringLiteral("process %1").arg(holder.pid) +
                  (holder.processName.isEmpty()
                       ? QString()
                       : QStringLiteral(" (") + holder.processName + QLatin1Char(')'));
    return QStringLiteral("the port is locked by another process: the lock file ") +
           holder.lockFile + QStringLiteral(" names ") + process;
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
    if (leaveFallbackForLink()) {
        // Closed: opened again below, under the link's name.
    } else if (w.AFF_SERIAL_STATUS->text() == kConnected) {
        retryHandshakeWhenDue();
        return;
    } else if (w.Serial->isOpen()) {
        // A port left open under "Disconnected" or "Error" is restarted: closed now, opened
        // by the next tick.
        w.Serial->close();
        return;
    }
    if (!openSerialPort())
        return;
    m_lastLoggedFailure.clear();
    setSerialStatus(LinkStatus::Connected);
    showOpenDevice();
    w.AFF_LOG_MSG(QStringLiteral("Establish communication with Trelvane source unit"), 1);
    w.AFF_LOG_MSG(QString(), 2);
    // Shown until the unit answers the handshake.
    w.state().setHandshakePending(true);
    greetUnit();
}

void Supervision::greetUnit()
{
    m_ticksSinceHandshake = 0;
    m_handshakeRetries = 0;
    w.enrollment().SOURCE_COMMAND(QStringLiteral("99999"), QStringLiteral("INIT"));
}

bool Supervision::leaveFallbackForLink()
{
    // Without a COM<n> link at the moment of a tick the system's own device was opened; once
    // the link appears, it names the port the site means.
    if (!w.Serial->isOpen() || m_openNames.fallback.isEmpty() ||
        w.Serial->devicePath() != m_openNames.fallback || !m_openNames.hasLink())
        return false;
    w.WRITE_LOG(QStringLiteral("Serial port ") + m_openNames.link +
                QStringLiteral(" appeared in the station folder: ") + m_openNames.fallback +
                QStringLiteral(" closed, the link opened instead"));
    w.Serial->close();
    setSerialStatus(LinkStatus::Disconnected);
    return true;
}

void Supervision::showOpenDevice()
{
    const QString path = w.Serial->devicePath();
    QString tip = path;
    const QString device = QFileInfo(path).canonicalFilePath();
    if (!device.isEmpty() && device != path)
        tip += QStringLiteral(" (") + device + QLatin1Char(')');
    if (path == m_openNames.fallback && !m_openNames.link.isEmpty())
        tip += QStringLiteral(": there is no ") + QFileInfo(m_openNames.link).fileName() +
               QStringLiteral(" link in the station folder");
    w.state().setSourceStatusDetail(tip);
}

void Supervision::retryHandshakeWhenDue()
{
    // The handshake reply hides FR_ERROR (also while the window sits in the tray).
    if (w.FR_ERROR->isHidden()) {
        handshakeAnswered();
        return;
    }
    // Only the serial link is greeted, and not while a part collects a long answer raw: the
    // unit's reply would land in the middle of it.
    if (!w.Serial->isOpen() || w.TRELVANE_LOAD != F_MAIN::True)
        return;
    if (++m_ticksSinceHandshake < kHandshakeRetryTicks)
        return;
    m_ticksSinceHandshake = 0;
    // Sent without its trace: a unit that never answers would otherwise add a line to the
    // log every few seconds, all day. One line says the retries started, one that they ended.
    if (m_handshakeRetries == 0)
        w.WRITE_LOG(QStringLiteral("No answer from the Trelvane source unit: the handshake is "
                                   "sent again every %1 s until it answers")
                        .arg(kHandshakeRetryTicks));
    ++m_handshakeRetries;
    w.Serial->write(Frame::handshake());
}

void Supervision::handshakeAnswered()
{
    // Noted by the tick after the answer.
    if (m_handshakeRetries > 0)
        w.WRITE_LOG(QStringLiteral("The Trelvane source unit answered the handshake, sent "
                                   "again %1 times")
                        .arg(m_handshakeRetries));
    m_handshakeRetries = 0;
    m_ticksSinceHandshake = 0;
}

bool Supervision::openSerialPort()
{
    const QString text = w.INP_SERIAL_PORT->text();
    const int number = portNumberOf(text);
    if (number == 0) {
        QString reason = QStringLiteral("Serial port number \"%1\" names no port. ").arg(text) +
                         QLatin1String(kFirstStartHint);
        const QStringList links = serialLinksIn(w.AFF_CURDIR->text());
        if (!links.isEmpty())
            reason += QStringLiteral(" (in the station folder: ") +
                      links.join(QStringLiteral(", ")) + QLatin1Char(')');
        reportOpenFailure(reason);
        if (text == QLatin1String("0")) // a new station's port
            showFirstStartHint(reason);
        return false;
    }
    const SerialDeviceNames names =
        serialDeviceNames(number, w.AFF_CURDIR->text(), w.options().serialDeviceFolder);
    const QString path = names.chosen();
    // The names tried, in order: the link in the folder, then the device.
    QString reason = QStringLiteral("Serial port %1: tried ").arg(number);
    if (!names.link.isEmpty() && path != names.link)
        reason += names.link + QStringLiteral(" (not in the station folder), then ");
    reason += path + QStringLiteral(": ");
    if (const auto holder = SerialLock::holderOf(path, w.options().serialLockFolder)) {
        // Opening would fail on the lock anyway, and the system would call it a permission
        // error: say who holds the port instead.
        reportOpenFailure(reason + lockedWords(*holder));
        return false;
    }
    w.Serial->setDevicePath(path);
    if (w.Serial->open()) {
        m_openNames = names;
        return true;
    }
    reportOpenFailure(reason + openFailureWords(path));
    return false;
}

QString Supervision::openFailureWords(const QString &path) const
{
    switch (w.Serial->openError()) {
    case SerialPortDevice::DeviceNotFoundError:
        return QStringLiteral("no such device: is the adapter plugged in?");
    case SerialPortDevice::PermissionError:
#ifdef Q_OS_WIN
        // Windows gives a COM port to one program at a time and has no lock files or
        // dialout group: the port's own words say so.
        return w.Serial->errorString();
#endif
        // The system's open refuses a port locked by another process with this error too.
        if (const auto holder =
                SerialLock::holderOf(path, w.options().serialLockFolder, /*includeStale=*/true))
            return lockedWords(*holder);
        return QStringLiteral("permission denied: is your account in the dialout group?");
    default:
        return w.Serial->errorString();
    }
}

void Supervision::reportOpenFailure(const QString &reason)
{
    w.SHOW_MAIN_WINDOW();
    setSerialStatus(LinkStatus::Error);
    w.state().setSourceStatusDetail(reason);
    // The open is retried every second: log a failure when it first happens or its reason
    // changes, not on every retry.
    if (reason != m_lastLoggedFailure) {
        m_lastLoggedFailure = reason;
        w.WRITE_LOG(QStringLiteral("Serial port not opened: ") + reason);
    }
}

void Supervision::showFirstStartHint(const QString &reason)
{
    // Once per start (and after the operator typed 0 again): the banner holds the window
    // for its time, which must not come back every second.
    if (m_firstStartHintShown == reason)
        return;
    m_firstStartHintShown = reason;
    w.AFF_LOG_MSG(QLatin1String(kFirstStartHint), 1);
    const QStringList links = serialLinksIn(w.AFF_CURDIR->text());
    w.AFF_LOG_MSG(links.isEmpty() ? QString()
                                  : QStringLiteral("Serial ports in the station folder: ") +
                                        links.join(QStringLiteral(", ")),
                  2);
}

void Supervision::onSerialLost(const QString &reason)
{
    // The port is closed already. Under "Disconnected" the next tick opens it again, and
    // greets the unit, as soon as the device is back.
    m_lastLoggedFailure.clear();
    w.state().setSourceStatusDetail(reason);
    w.WRITE_LOG(QStringLiteral("Serial port lost: ") + reason);
    if (w.serialSelected())
        setSerialStatus(LinkStatus::Disconnected);
    else
        m_lostWhileTcpSelected = true; // the caption speaks for the TCP link meanwhile
}

void Supervision::INP_SERIAL_PORT_Change()
{
    if (w.INP_SERIAL_PORT->text() != QLatin1String("0"))
        m_firstStartHintShown.clear();
    setSerialStatus(LinkStatus::Disconnected);
    w.state().setSourceStatusDetail(QString());
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

void Supervision::setSerialStatus(LinkStatus status)
{
    w.state().setSourceStatus(status);
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
            setSerialStatus(LinkStatus::Disconnected);
    }
}

void Supervision::B_CONNECT_IP_Click()
{
    w.TCP_SOURCE->close();
    waitForTcpClosed();
    w.state().setTcpStatus(QStringLiteral("Disconnect"));
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
    w.state().setTcpStatus(kConnected);
    // No handshake on a TCP link.
    setSerialStatus(LinkStatus::Connected);
}

void Supervision::TCP_SOURCE_Error(const QString &description)
{
    w.state().setTcpStatus(QStringLiteral("Error: ") + description);
}
