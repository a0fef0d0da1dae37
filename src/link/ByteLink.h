#pragma once

#include <QByteArray>
#include <QObject>

// A byte stream to a unit: the few operations the station needs of a serial port or a TCP
// connection.
class ByteLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isOpen() const = 0;
    // Harmless when already closed.
    virtual void close() = 0;
    // Hands the whole byte string to the link at once; false when the link is closed or
    // refuses it.
    virtual bool write(const QByteArray &bytes) = 0;
    // Every byte received since the last read (possibly none), without waiting.
    virtual QByteArray readAll() = 0;

signals:
    void readyRead();
};
