#pragma once

#include "link/ByteLink.h"

#ifdef Q_OS_WIN
// Qt's serial port module is not available for the Windows build: our own COM port back-end
// offers the same interface.
#include "link/Win32SerialPort.h"
using SerialPortDevice = Win32SerialPort;
#else
#include <QSerialPort>
using SerialPortDevice = QSerialPort;
#endif

class Clock;

// The serial port to the source unit: 57600 baud, 8 data bits, no parity, 1 stop bit, no
// flow control.
class SerialLink final : public ByteLink
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    void setDevicePath(const QString &path) { m_port.setPortName(path); }
    QString devicePath() const { return m_port.portName(); }

    // Opens the device; on failure errorString() says why (with the device path) in the
    // system's words, and openError() which kind of failure it was.
    bool open();
    QString errorString() const { return m_error; }
    SerialPortDevice::SerialPortError openError() const { return m_openError; }

    bool isOpen() const override { return m_port.isOpen(); }
    void close() override;
    bool write(const QByteArray &bytes) override;
    // Hands the whole byte string to the port's send queue and returns at once: the event
    // loop passes it to the device as fast as the line takes it. False when the port is
    // closed.
    bool writeQueued(const QByteArray &bytes);
    // Bytes handed to the port and not yet passed to the device (0 when closed).
    qint64 bytesToWrite() const { return m_port.isOpen() ? m_port.bytesToWrite() : 0; }
    QByteArray readAll() override;
    qint64 bytesAvailable() const { return m_port.bytesAvailable(); }
    // Waits up to ms on the clock, without serving events, until bytes have arrived.
    bool waitForBytes(Clock &clock, int ms);

signals:
    // The port has just been opened.
    void opened();
    // The open device went away (adapter unplugged, the other side of a pseudo-terminal
    // closed): the port has been closed. Emitted once per loss.
    void lost(const QString &reason);

private:
    void onError(SerialPortDevice::SerialPortError error);

    SerialPortDevice m_port;
    QString m_error;
    SerialPortDevice::SerialPortError m_openError = SerialPortDevice::NoError;
};
