#include "link/Win32SerialPort.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QWinEventNotifier>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/WindowsErrorText.h"

namespace {

// Bytes asked of the system per read: the read returns at once with what has arrived, so
// this only bounds one step of draining the driver's queue.
constexpr DWORD kReadChunk = 4096;
// Wake-ups that bring no byte, in a row, before the port is taken for gone. A driver may wake
// a waiting reader without a reason now and then; a device that is gone does it without end.
constexpr int kMaxEmptyWakeups = 100;
// ... and for at least this long: Wine ends a pending wait as aborted every few milliseconds
// for a while after a caller has blocked on the port, which is not a device going away.
constexpr qint64 kMinEmptyWakeupMs = 2000;

} // namespace

struct Win32SerialPort::Handles
{
    HANDLE file = INVALID_HANDLE_VALUE;
    OVERLAPPED comm{};  // waiting for bytes (WaitCommEvent)
    OVERLAPPED read{};  // reading what has arrived
    OVERLAPPED write{}; // the write in flight
    DWORD eventMask = 0;
    bool waiting = false;
    bool writing = false;
    int emptyWakeups = 0;
    QElapsedTimer emptySince; // since the first of those wake-ups

    Handles()
    {
        comm.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Handles()
    {
        if (file != INVALID_HANDLE_VALUE) {
            // The system writes into the OVERLAPPED structures until each operation ends:
            // cancel them and wait for their end before the structures go away.
            CancelIo(file);
            DWORD n = 0;
            if (waiting)
                GetOverlappedResult(file, &comm, &n, TRUE);
            if (writing)
                GetOverlappedResult(file, &write, &n, TRUE);
            CloseHandle(file);
        }
        for (HANDLE e : {comm.hEvent, read.hEvent, write.hEvent})
            if (e)
                CloseHandle(e);
    }
    bool eventsMade() const { return comm.hEvent && read.hEvent && write.hEvent; }
};

Win32SerialPort::Win32SerialPort(QObject *parent) : QIODevice(parent) {}

Win32SerialPort::~Win32SerialPort()
{
    close();
}

QString Win32SerialPort::systemDeviceName(const QString &portName)
{
    if (portName.startsWith(QLatin1String("\\\\.\\")))
        return portName;
    return QStringLiteral("\\\\.\\") + portName;
}

bool Win32SerialPort::setBaudRate(qint32 baud)
{
    m_baud = baud;
    return !isOpen() || applyLineSettings();
}

// Only 8N1 without flow control exists on this port: the other settings are accepted as is.
bool Win32SerialPort::setDataBits(DataBits)
{
    return true;
}

bool Win32SerialPort::setParity(Parity)
{
    return true;
}

bool Win32SerialPort::setStopBits(StopBits)
{
    return true;
}

bool Win32SerialPort::setFlowControl(FlowControl)
{
    return true;
}

bool Win32SerialPort::setDataTerminalReady(bool on)
{
    // A line without modem control (a pseudo-terminal behind Wine) refuses this: harmless.
    return isOpen() && EscapeCommFunction(m_h->file, on ? SETDTR : CLRDTR);
}

bool Win32SerialPort::setRequestToSend(bool on)
{
    return isOpen() && EscapeCommFunction(m_h->file, on ? SETRTS : CLRRTS);
}

bool Win32SerialPort::applyLineSettings()
{
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(m_h->file, &dcb))
        return false;
    dcb.BaudRate = DWORD(m_baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // A line error must not stop all further reads and writes until it is cleared.
    dcb.fAbortOnError = FALSE;
    return SetCommState(m_h->file, &dcb);
}

bool Win32SerialPort::open(OpenMode mode)
{
    if (isOpen()) {
        setErrorString(QStringLiteral("The port is already open"));
        return false;
    }
    m_error = NoError;
    m_in.clear();
    m_out.clear();
    m_writing = 0;
    auto h = std::make_unique<Handles>();
    if (!h->eventsMade()) {
        fail(ResourceError, GetLastError());
        return false;
    }
    const std::wstring name = systemDeviceName(m_portName).toStdWString();
    h->file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (h->file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            fail(DeviceNotFoundError, code);
        else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
            fail(PermissionError, code);
        else
            fail(OpenError, code);
        return false;
    }
    m_h = std::move(h);
    // Reads return at once with what has arrived (possibly nothing); writes never time out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!applyLineSettings() || !SetCommTimeouts(m_h->file, &timeouts) ||
        !SetCommMask(m_h->file, EV_RXCHAR)) {
        const DWORD code = GetLastError();
        m_h.reset();
        fail(OpenError, code);
        return false;
    }
    PurgeComm(m_h->file, PURGE_RXCLEAR | PURGE_TXCLEAR);
    QIODevice::open(mode | QIODevice::Unbuffered);
    m_commNotifier = new QWinEventNotifier(m_h->comm.hEvent, this);
    connect(m_commNotifier, &QWinEventNotifier::activated, this, &Win32SerialPort::onCommEvent);
    m_writeNotifier = new QWinEventNotifier(m_h->write.hEvent, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QWinEventNotifier::activated, this, &Win32SerialPort::onWriteDone);
    startWaitingForBytes();
    return isOpen();
}

void Win32SerialPort::close()
{
    if (!m_h)
        return;
    // The port may be closed from a slot called by one of its notifiers.
    for (QWinEventNotifier *n : {m_commNotifier, m_writeNotifier}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    m_commNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_h.reset(); // cancels what is in flight and closes the device
    m_out.clear();
    m_writing = 0;
    QIODevice::close();
    // What arrived stays readable, as with QSerialPort.
}

void Win32SerialPort::clearError()
{
    m_error = NoError;
}

void Win32SerialPort::fail(SerialPortError error, unsigned long systemCode)
{
    QString text = windowsErrorText(systemCode);
    if (error == DeviceNotFoundError)
        text = QStringLiteral("no such serial port on this computer (%1)").arg(text);
    else if (error == PermissionError)
        text += QStringLiteral(" (another program may have the port open)");
    m_error = error;
    setErrorString(text);
    emit errorOccurred(error);
}

qint64 Win32SerialPort::bytesAvailable() const
{
    return m_in.size() + QIODevice::bytesAvailable();
}

qint64 Win32SerialPort::bytesToWrite() const
{
    return m_out.size();
}

qint64 Win32SerialPort::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin(maxSize, qint64(m_in.size()));
    memcpy(data, m_in.constData(), size_t(n));
    m_in.remove(0, n);
    return n;
}

qint64 Win32SerialPort::writeData(const char *data, qint64 maxSize)
{
    if (!m_h) {
        m_error = NotOpenError;
        return -1;
    }
    m_out.append(data, maxSize);
    startWrite();
    return maxSize;
}

void Win32SerialPort::startWaitingForBytes()
{
    // A wait that the system completes at once has already seen bytes: read them and wait
    // again, until a wait stays pending (its end is then signalled to onCommEvent).
    while (m_h && !m_h->waiting) {
        m_h->eventMask = 0;
        if (WaitCommEvent(m_h->file, &m_h->eventMask, &m_h->comm)) {
            if (!wakeupWasUseful(readWaitingBytes(), ERROR_READ_FAULT))
                return;
            continue;
        }
        const DWORD code = GetLastError();
        if (code == ERROR_IO_PENDING) {
            m_h->waiting = true;
            return;
        }
        fail(ResourceError, code);
        return;
    }
}

void Win32SerialPort::onCommEvent()
{
    if (!m_h || !m_h->waiting)
        return;
    DWORD unused = 0;
    if (!GetOverlappedResult(m_h->file, &m_h->comm, &unused, FALSE)) {
        const DWORD code = GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return;
        m_h->waiting = false;
        // Some drivers (Wine's among them) end a wait as aborted when bytes arrive or the
        // line drops: the read that follows tells which. Other errors mean the device is gone.
        if (code != ERROR_OPERATION_ABORTED) {
            fail(ResourceError, code);
            return;
        }
        if (!wakeupWasUseful(readWaitingBytes(), code))
            return;
    } else {
        m_h->waiting = false;
        if (readWaitingBytes() < 0)
            return;
    }
    startWaitingForBytes();
}

bool Win32SerialPort::wakeupWasUseful(qint64 received, unsigned long systemCode)
{
    if (received < 0)
        return false;
    if (received > 0) {
        forgetEmptyWakeups();
        return true;
    }
    if (!m_h->emptySince.isValid())
        m_h->emptySince.start();
    if (++m_h->emptyWakeups < kMaxEmptyWakeups || m_h->emptySince.elapsed() < kMinEmptyWakeupMs)
        return true;
    // Woken again and again with nothing to read: the device is gone, and going on would
    // hold up the window.
    fail(ResourceError, systemCode);
    return false;
}

void Win32SerialPort::forgetEmptyWakeups()
{
    m_h->emptyWakeups = 0;
    m_h->emptySince.invalidate();
}

qint64 Win32SerialPort::readWaitingBytes()
{
    qint64 got = 0;
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(m_h->file, &errors, &status)) {
            fail(ResourceError, GetLastError());
            return -1;
        }
        // Only what the driver holds is asked for: a read of more may wait for bytes that
        // never come, whatever the timeouts say (Wine's driver does, after a wait it ended
        // with nothing to read).
        if (status.cbInQue == 0)
            break;
        QByteArray chunk(qMin<qsizetype>(status.cbInQue, kReadChunk), Qt::Uninitialized);
        DWORD n = 0;
        if (!ReadFile(m_h->file, chunk.data(), DWORD(chunk.size()), nullptr, &m_h->read) &&
            GetLastError() != ERROR_IO_PENDING) {
            fail(ReadError, GetLastError());
            return -1;
        }
        if (!GetOverlappedResult(m_h->file, &m_h->read, &n, TRUE)) {
            fail(ReadError, GetLastError());
            return -1;
        }
        m_in.append(chunk.constData(), n);
        got += n;
        if (n == 0)
            break;
    }
    if (got > 0)
        emit readyRead();
    // A slot may have closed the port: then nothing more is read.
    return m_h ? got : -1;
}

void Win32SerialPort::startWrite()
{
    if (!m_h || m_h->writing || m_out.isEmpty())
        return;
    m_writing = m_out.size();
    if (!WriteFile(m_h->file, m_out.constData(), DWORD(m_writing), nullptr, &m_h->write) &&
        GetLastError() != ERROR_IO_PENDING) {
        m_writing = 0;
        fail(WriteError, GetLastError());
        return;
    }
    m_h->writing = true;
    m_writeNotifier->setEnabled(true);
}

void Win32SerialPort::onWriteDone()
{
    if (completeWrite(false))
        startWrite();
}

bool Win32SerialPort::completeWrite(bool wait)
{
    if (!m_h || !m_h->writing)
        return m_h != nullptr;
    DWORD n = 0;
    if (!GetOverlappedResult(m_h->file, &m_h->write, &n, wait ? TRUE : FALSE)) {
        const DWORD code = GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return true;
        m_h->writing = false;
        m_writeNotifier->setEnabled(false);
        m_writing = 0;
        fail(WriteError, code);
        return false;
    }
    m_h->writing = false;
    m_writeNotifier->setEnabled(false);
    m_out.remove(0, qsizetype(n));
    m_writing = 0;
    if (n > 0)
        emit bytesWritten(qint64(n));
    return m_h != nullptr;
}

bool Win32SerialPort::flush()
{
    startWrite();
    return m_h && m_h->writing;
}

void Win32SerialPort::takeFinishedWrite()
{
    if (m_h && m_h->writing && WaitForSingleObject(m_h->write.hEvent, 0) == WAIT_OBJECT_0 &&
        completeWrite(false))
        startWrite();
}

bool Win32SerialPort::waitForReadyRead(int msecs)
{
    // A wait that serves no events must still see a write end, or the bytes would count as
    // unsent until the event loop next runs.
    takeFinishedWrite();
    if (!m_in.isEmpty())
        return true;
    QDeadlineTimer deadline(msecs);
    while (m_h) {
        if (!m_h->waiting)
            startWaitingForBytes();
        if (!m_in.isEmpty())
            return true;
        if (!m_h || !m_h->waiting)
            return false;
        const DWORD left = DWORD(qMax<qint64>(deadline.remainingTime(), 0));
        if (WaitForSingleObject(m_h->comm.hEvent, left) != WAIT_OBJECT_0)
            return false;
        // This loop has slept in the system until the wait ended, and it ends by its time:
        // a wake-up with nothing to read does not count towards a vanished device here.
        // Wine ends a pending wait as aborted every few milliseconds while a blocking
        // caller waits, which would otherwise look like a device that is gone.
        forgetEmptyWakeups();
        onCommEvent();
        takeFinishedWrite();
        if (!m_in.isEmpty())
            return true;
        if (deadline.hasExpired())
            return false;
    }
    return false;
}

bool Win32SerialPort::waitForBytesWritten(int msecs)
{
    if (!m_h)
        return false;
    startWrite();
    if (!m_h->writing)
        return false;
    if (WaitForSingleObject(m_h->write.hEvent, DWORD(qMax(msecs, 0))) != WAIT_OBJECT_0)
        return false;
    const bool ok = completeWrite(true);
    if (ok)
        startWrite();
    return ok;
}
