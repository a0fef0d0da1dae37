#include "link/SerialLink.h"

#include "platform/Clock.h"

SerialLink::SerialLink(QObject *parent) : ByteLink(parent)
{
    m_port.setBaudRate(SerialPortDevice::Baud57600);
    m_port.setDataBits(SerialPortDevice::Data8);
    m_port.setParity(SerialPortDevice::NoParity);
    m_port.setStopBits(SerialPortDevice::OneStop);
    m_port.setFlowControl(SerialPortDevice::NoFlowControl);
    connect(&m_port, &SerialPortDevice::readyRead, this, &ByteLink::readyRead);
    connect(&m_port, &SerialPortDevice::errorOccurred, this, &SerialLink::onError);
}

bool SerialLink::open()
{
    m_error.clear();
    m_openError = SerialPortDevice::NoError;
    if (m_port.portName().isEmpty()) {
        m_openError = SerialPortDevice::DeviceNotFoundError;
        m_error = QStringLiteral("No serial device for this port number");
        return false;
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_openError = m_port.error();
        m_error = m_port.portName() + QStringLiteral(": ") + m_port.errorString();
        m_port.clearError();
        return false;
    }
    // Set again after opening: some drivers reset them when the port opens.
    m_port.setBaudRate(SerialPortDevice::Baud57600);
    m_port.setDataBits(SerialPortDevice::Data8);
    m_port.setParity(SerialPortDevice::NoParity);
    m_port.setStopBits(SerialPortDevice::OneStop);
    m_port.setFlowControl(SerialPortDevice::NoFlowControl);
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    m_port.clearError();
    emit opened();
    return true;
}

void SerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool SerialLink::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Push the bytes to the device now: a wait that serves no events may follow, and the
    // unit must see each piece when it is sent, not when the event loop next runs.
    m_port.flush();
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(1000);
    return true;
}

bool SerialLink::writeQueued(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    // No flush: on a device that takes nothing more it fails with EAGAIN, and waiting for it
    // would hold up the window.
    return m_port.write(bytes) == bytes.size();
}

QByteArray SerialLink::readAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void SerialLink::onError(SerialPortDevice::SerialPortError error)
{
    // A vanished device is reported over and over, at full speed, for as long as the port
    // stays open: close it, once.
    if ((error == SerialPortDevice::ResourceError || error == SerialPortDevice::ReadError) &&
        m_port.isOpen()) {
        const QString reason = m_port.errorString();
        m_port.close();
        m_port.clearError();
        emit lost(m_port.portName() + QStringLiteral(": ") + reason);
    }
}

bool SerialLink::waitForBytes(Clock &clock, int ms)
{
    return m_port.isOpen() && clock.waitForBytes(m_port, ms);
}
