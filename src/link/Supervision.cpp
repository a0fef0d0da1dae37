#include "link/Supervision.h"

#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "platform/SerialLock.h"
#include "station/StationOptions.h"
#include "util/NumericValue.h"

#include <QFileInfo>
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

Supervision::Supervision(StationState &state, const StationOptions &options, Clock &clock,
                         ActivityLog &activityLog, BannerLines &bannerLines, Waits &waits,
                         SerialLink &serial, TcpLink &tcp, QTimer &connectTimer)
    : m_state(state), m_options(options), m_clock(clock), m_activityLog(activityLog),
      m_bannerLines(bannerLines), m_waits(waits), m_serial(serial), m_tcp(tcp)
{
    connect(&connectTimer, &QTimer::timeout, this, &Supervision::TIM_SERIAL_CONNECT_Timer);
    // Typed by the operator or set by a part (Re-Connect, loading the configuration).
    connect(&state, &StationState::changed, this, [this](StationState::Field field) {
        if (field == StationState::Field::SerialPort)
            INP_SERIAL_PORT_Change();
    });
    connect(&tcp, &TcpLink::connected, this, &Supervision::TCP_SOURCE_Connect);
    connect(&tcp, &TcpLink::errorOccurred, this, &Supervision::TCP_SOURCE_Error);
    connect(&serial, &SerialLink::lost, this, &Supervision::onSerialLost);
}

void Supervision::WRITE_LOG(const QString &text)
{
    m_activityLog.WRITE_LOG(text);
}

void Supervision::AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER)
{
    m_bannerLines.AFF_LOG_MSG(LIGNE, LINE_NUMBER);
}

void Supervision::TIM_SERIAL_CONNECT_Timer()
{
    emit ticked();
    if (!m_state.serialSelected())
        return;
    if (leaveFallbackForLink()) {
        // Closed: opened again below, under the link's name.
    } else if (m_state.sourceUp()) {
        retryHandshakeWhenDue();
        return;
    } else if (m_serial.isOpen()) {
        // A port left open under "Disconnected" or "Error" is restarted: closed now, opened
        // by the next tick.
        m_serial.close();
        return;
    }
    if (!openSerialPort())
        return;
    m_lastLoggedFailure.clear();
    setSerialStatus(LinkStatus::Connected);
    showOpenDevice();
    AFF_LOG_MSG(QStringLiteral("Establish communication with Trelvane source unit"), 1);
    AFF_LOG_MSG(QString(), 2);
    // Shown until the unit answers the handshake.
    m_state.setHandshakePending(true);
    greetUnit();
}

void Supervision::greetUnit()
{
    m_ticksSinceHandshake = 0;
    m_handshakeRetries = 0;
    emit greetingWanted();
}

bool Supervision::leaveFallbackForLink()
{
    // Without a COM<n> link at the moment of a tick the system's own device was opened; once
    // the link appears, it names the port the site means.
    if (!m_serial.isOpen() || m_openNames.fallback.isEmpty() ||
        m_serial.devicePath() != m_openNames.fallback || !m_openNames.hasLink())
        return false;
    WRITE_LOG(QStringLiteral("Serial port ") + m_openNames.link +
              QStringLiteral(" appeared in the station folder: ") + m_openNames.fallback +
              QStringLiteral(" closed, the link opened instead"));
    m_serial.close();
    setSerialStatus(LinkStatus::Disconnected);
    return true;
}

void Supervision::showOpenDevice()
{
    const QString path = m_serial.devicePath();
    QString tip = path;
    const QString device = QFileInfo(path).canonicalFilePath();
    if (!device.isEmpty() && device != path)
        tip += QStringLiteral(" (") + device + QLatin1Char(')');
    if (path == m_openNames.fallback && !m_openNames.link.isEmpty())
        tip += QStringLiteral(": there is no ") + QFileInfo(m_openNames.link).fileName() +
               QStringLiteral(" link in the station folder");
    m_state.setSourceStatusDetail(tip);
}

void Supervision::retryHandshakeWhenDue()
{
    // The handshake reply hides FR_ERROR (also while the window sits in the tray).
    if (!m_state.handshakePending()) {
        handshakeAnswered();
        return;
    }
    // Only the serial link is greeted, and not while a part collects a long answer raw: the
    // unit's reply would land in the middle of it.
    if (!m_serial.isOpen() || m_state.TRELVANE_LOAD != ReceiveDispatcher::kDispatchFrames)
        return;
    if (++m_ticksSinceHandshake < kHandshakeRetryTicks)
        return;
    m_ticksSinceHandshake = 0;
    // Sent without its trace: a unit that never answers would otherwise add a line to the
    // log every few seconds, all day. One line says the retries started, one that they ended.
    if (m_handshakeRetries == 0)
        WRITE_LOG(QStringLiteral("No answer from the Trelvane source unit: the handshake is "
                                 "sent again every %1 s until it answers")
                      .arg(kHandshakeRetryTicks));
    ++m_handshakeRetries;
    m_serial.write(Frame::handshake());
}

void Supervision::handshakeAnswered()
{
    // Noted by the tick after the answer.
    if (m_handshakeRetries > 0)
        WRITE_LOG(QStringLiteral("The Trelvane source unit answered the handshake, sent "
                                 "again %1 times")
                      .arg(m_handshakeRetries));
    m_handshakeRetries = 0;
    m_ticksSinceHandshake = 0;
}

bool Supervision::openSerialPort()
{
    const QString text = m_state.serialPort();
    const int number = portNumberOf(text);
    if (number == 0) {
        QString reason = QStringLiteral("Serial port number \"%1\" names no port. ").arg(text) +
                         QLatin1String(kFirstStartHint);
        const QStringList links = serialLinksIn(m_state.configFolder());
        if (!links.isEmpty())
            reason += QStringLiteral(" (in the station folder: ") +
                      links.join(QStringLiteral(", ")) + QLatin1Char(')');
        reportOpenFailure(reason);
        if (text == QLatin1String("0")) // a new station's port
            showFirstStartHint(reason);
        return false;
    }
    const SerialDeviceNames names =
        serialDeviceNames(number, m_state.configFolder(), m_options.serialDeviceFolder);
    const QString path = names.chosen();
    // The names tried, in order: the link in the folder, then the device.
    QString reason = QStringLiteral("Serial port %1: tried ").arg(number);
    if (!names.link.isEmpty() && path != names.link)
        reason += names.link + QStringLiteral(" (not in the station folder), then ");
    reason += path + QStringLiteral(": ");
    if (const auto holder = SerialLock::holderOf(path, m_options.serialLockFolder)) {
        // Opening would fail on the lock anyway, and the system would call it a permission
        // error: say who holds the port instead.
        reportOpenFailure(reason + lockedWords(*holder));
        return false;
    }
    m_serial.setDevicePath(path);
    if (m_serial.open()) {
        m_openNames = names;
        return true;
    }
    reportOpenFailure(reason + openFailureWords(path));
    return false;
}

QString Supervision::openFailureWords(const QString &path) const
{
    switch (m_serial.openError()) {
    case SerialPortDevice::DeviceNotFoundError:
        return QStringLiteral("no such device: is the adapter plugged in?");
    case SerialPortDevice::PermissionError:
#ifdef Q_OS_WIN
        // Windows gives a COM port to one program at a time and has no lock files or
        // dialout group: the port's own words say so.
        return m_serial.errorString();
#endif
        // The system's open refuses a port locked by another process with this error too.
        if (const auto holder =
                SerialLock::holderOf(path, m_options.serialLockFolder, /*includeStale=*/true))
            return lockedWords(*holder);
        return QStringLiteral("permission denied: is your account in the dialout group?");
    default:
        return m_serial.errorString();
    }
}

void Supervision::reportOpenFailure(const QString &reason)
{
    emit m_state.windowWanted();
    setSerialStatus(LinkStatus::Error);
    m_state.setSourceStatusDetail(reason);
    // The open is retried every second: log a failure when it first happens or its reason
    // changes, not on every retry.
    if (reason != m_lastLoggedFailure) {
        m_lastLoggedFailure = reason;
        WRITE_LOG(QStringLiteral("Serial port not opened: ") + reason);
    }
}

void Supervision::showFirstStartHint(const QString &reason)
{
    // Once per start (and after the operator typed 0 again): the banner holds the window
    // for its time, which must not come back every second.
    if (m_firstStartHintShown == reason)
        return;
    m_firstStartHintShown = reason;
    AFF_LOG_MSG(QLatin1String(kFirstStartHint), 1);
    const QStringList links = serialLinksIn(m_state.configFolder());
    AFF_LOG_MSG(links.isEmpty() ? QString()
                                : QStringLiteral("Serial ports in the station folder: ") +
                                      links.join(QStringLiteral(", ")),
                2);
}

void Supervision::onSerialLost(const QString &reason)
{
    // The port is closed already. Under "Disconnected" the next tick opens it again, and
    // greets the unit, as soon as the device is back.
    m_lastLoggedFailure.clear();
    m_state.setSourceStatusDetail(reason);
    WRITE_LOG(QStringLiteral("Serial port lost: ") + reason);
    if (m_state.serialSelected())
        setSerialStatus(LinkStatus::Disconnected);
    else
        m_lostWhileTcpSelected = true; // the caption speaks for the TCP link meanwhile
}

void Supervision::INP_SERIAL_PORT_Change()
{
    if (m_state.serialPort() != QLatin1String("0"))
        m_firstStartHintShown.clear();
    setSerialStatus(LinkStatus::Disconnected);
    m_state.setSourceStatusDetail(QString());
    m_serial.close();
    emit settingsChanged();
}

void Supervision::B_RECONNECT_Click()
{
    // Two changes of the port number: the port is closed and the next tick reopens it.
    const QString number = m_state.serialPort();
    m_state.setSerialPort(QStringLiteral("0"));
    m_state.setSerialPort(number);
}

void Supervision::setSerialStatus(LinkStatus status)
{
    m_state.setSourceStatus(status);
}

void Supervision::selectLink(int index)
{
    m_state.setSelectedLink(index == 0 ? StationState::Link::Serial : StationState::Link::Tcp);
    SW_COMM_Click(index);
}

void Supervision::SW_COMM_Click(int /*Index*/)
{
    if (!m_state.serialSelected())
        return;
    m_tcp.close();
    // The serial port went away while TCP was in use: "Connected" was the TCP link's, so
    // let the next tick reopen the port.
    if (m_lostWhileTcpSelected) {
        m_lostWhileTcpSelected = false;
        if (!m_serial.isOpen())
            setSerialStatus(LinkStatus::Disconnected);
    }
}

void Supervision::B_CONNECT_IP_Click()
{
    m_tcp.close();
    waitForTcpClosed();
    m_state.setTcpStatus(QStringLiteral("Disconnect"));
    m_tcp.connectToHost(m_state.tcpAddress(), m_options.tcpPort);
}

void Supervision::waitForTcpClosed()
{
    constexpr double kStepSeconds = 0.05;
    const double start = m_clock.secondsSinceMidnight();
    while (!m_tcp.isFullyClosed()) {
        const double now = m_clock.secondsSinceMidnight();
        if (now - start >= kTcpCloseWaitSeconds || now < start)
            return;
        m_waits.serveEventsFor(kStepSeconds);
    }
}

void Supervision::TCP_SOURCE_Connect()
{
    m_state.setTcpStatus(kConnected);
    // No handshake on a TCP link.
    setSerialStatus(LinkStatus::Connected);
}

void Supervision::TCP_SOURCE_Error(const QString &description)
{
    m_state.setTcpStatus(QStringLiteral("Error: ") + description);
}
