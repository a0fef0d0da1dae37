#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

class QWinEventNotifier;

// A COM port on Windows, with overlapped I/O signalled to the event loop through
// QWinEventNotifier. It offers the part of QSerialPort's interface the station uses, with the
// same meaning, so that the serial link behaves alike on both systems: a vanished device
// (adapter unplugged) is a ResourceError or ReadError reported through errorOccurred().
// Compiled on Windows only.
class Win32SerialPort final : public QIODevice
{
    Q_OBJECT
public:
    enum BaudRate { Baud57600 = 57600, Baud115200 = 115200 };
    enum DataBits { Data8 = 8 };
    enum Parity { NoParity = 0 };
    enum StopBits { OneStop = 1 };
    enum FlowControl { NoFlowControl = 0 };
    enum SerialPortError {
        NoError,
        DeviceNotFoundError,
        PermissionError,
        OpenError,
        WriteError,
        ReadError,
        ResourceError,
        UnsupportedOperationError,
        UnknownError,
        NotOpenError
    };
    Q_ENUM(SerialPortError)

    explicit Win32SerialPort(QObject *parent = nullptr);
    ~Win32SerialPort() override;

    // "COM5", or a full device name such as "\\.\COM5".
    void setPortName(const QString &name) { m_portName = name; }
    QString portName() const { return m_portName; }

    // The line settings are applied when the port opens, and at once when it is open.
    bool setBaudRate(qint32 baud);
    bool setDataBits(DataBits bits);
    bool setParity(Parity parity);
    bool setStopBits(StopBits bits);
    bool setFlowControl(FlowControl flow);
    bool setDataTerminalReady(bool on);
    bool setRequestToSend(bool on);

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;
    // Starts passing queued bytes to the device; true when some are on their way.
    bool flush();

    SerialPortError error() const { return m_error; }
    void clearError();

    // The system's name of a port: "\\.\COM<n>" (the form that also reaches COM10 and up).
    static QString systemDeviceName(const QString &portName);

signals:
    void errorOccurred(Win32SerialPort::SerialPortError error);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    struct Handles;

    bool applyLineSettings();
    void fail(SerialPortError error, unsigned long systemCode);
    void startWaitingForBytes();
    void onCommEvent();
    // Reads what has arrived: the number of bytes, or -1 when the port has been closed
    // (a device error, already reported, or a slot of readyRead()).
    qint64 readWaitingBytes();
    // False when the port has been closed, or too many wake-ups in a row brought no byte
    // (then the error is reported).
    void forgetEmptyWakeups();
    bool wakeupWasUseful(qint64 received, unsigned long systemCode);
    void startWrite();
    void onWriteDone();
    bool completeWrite(bool wait); // false on a device error (already reported)
    void takeFinishedWrite();      // completes a write the system has finished, if any

    QString m_portName;
    qint32 m_baud = Baud57600;
    std::unique_ptr<Handles> m_h;
    QWinEventNotifier *m_commNotifier = nullptr;
    QWinEventNotifier *m_writeNotifier = nullptr;
    QByteArray m_in;
    QByteArray m_out;
    qint64 m_writing = 0; // bytes of m_out handed to the system in the write in flight
    SerialPortError m_error = NoError;
};
