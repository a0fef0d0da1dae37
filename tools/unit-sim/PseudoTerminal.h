#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The device side of a pseudo-terminal, published under a chosen path as a symbolic link to
// its slave, so that a program opens that path as if it were a serial port. The master is
// raw and non-blocking; reads and writes never block and are driven by socket notifiers.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    // Creates a new pty (raw, non-blocking) and makes linkPath a symbolic link to its slave.
    // An existing symbolic link at linkPath is replaced; any other file there is refused.
    bool open(const QString &linkPath);
    // Closes the master (the program on the slave side sees the line drop) and removes the
    // link if it still points to this pty.
    void close();
    bool isOpen() const { return m_master >= 0; }
    QString linkPath() const { return m_linkPath; }
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    // Writes all bytes: what the pty does not take now is kept and written when it can.
    qint64 write(const QByteArray &bytes);
    // Everything received so far; never blocks.
    QByteArray readAll();
    qsizetype bytesToWrite() const { return m_out.size(); }

signals:
    void readyRead();

private:
    bool fail(const QString &what);
    bool readMaster(); // true when new bytes arrived
    void flushOut();

    int m_master = -1;
    int m_slaveKeeper = -1; // our own slave descriptor: the master never reads EIO
    QString m_linkPath;
    QString m_slavePath;
    QString m_error;
    QByteArray m_in;
    QByteArray m_out;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
};
