#pragma once

#include "UnitProtocol.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class OutputPacer;
class PseudoTerminal;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

// A simulated fingerprint unit reachable over a pseudo-terminal (as a serial port), TCP and
// UDP at once, all sharing one store of users and templates. Runs on the thread that owns
// it, driven by socket notifiers and timers; answers are written as soon as the request has
// been read, unless pacing (baud, split, delay) or silence is asked for.
class SimulatedUnit : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        int templateBytes = 384;
        int enrollTemplates = 2;
        int pageRecords = 64;
        int baud = 0;          // 0: send at once; N: pace stream output as an 8N1 line of N baud
        int autoEnrollMs = -1; // >= 0: complete each enrollment by itself after this time
        bool verbose = false;  // report requests and dropped bytes on stderr
        quint64 randomSeed = 0;
    };

    static constexpr int kStreamSilenceMs = 50; // ends the raw data of an upload on a stream
    static constexpr int kDefaultUnplugMs = 1000;
    static constexpr int kFingerFrameGapMs = 100; // between the frames of one finger
    static inline const QList<int> kAutoEnrollQualities{40, 65, 87};

    explicit SimulatedUnit(QObject *parent = nullptr);
    explicit SimulatedUnit(const Options &options, QObject *parent = nullptr);
    ~SimulatedUnit() override;

    const Options &options() const { return m_options; }

    bool listenSerial(const QString &linkPath);
    bool listenTcp(quint16 port, const QHostAddress &bind = QHostAddress::Any);
    bool listenUdp(quint16 port, const QHostAddress &bind = QHostAddress::Any);
    void close(); // every transport

    bool isSerialOpen() const;
    QString serialLinkPath() const { return m_serialLink; }
    QString serialSlavePath() const;
    quint16 tcpPort() const;
    quint16 udpPort() const;
    QString errorString() const { return m_error; }

    // A finger on the sensor: completes a pending enrollment (quality frames, user frame,
    // fresh templates for the user) or, with none pending, reports a recognised user.
    void finger(quint32 user, const QList<int> &qualities = {80});
    // Gives the user count random templates of the given size, replacing any it had.
    void addUser(quint32 user, int count, int bytes);
    void setTemplates(quint32 user, const QList<QByteArray> &templates);
    QList<QByteArray> templates(quint32 user) const;
    QMap<quint32, QList<QByteArray>> users() const;
    // Users 1001, 1002, ... with templatesPerUser random templates each.
    void seedUsers(int n, int templatesPerUser);

    void setSilent(bool silent);           // keep handling requests, send nothing back
    void sendNoise(int n);                 // n random bytes on every stream (serial and TCP)
    void setSplit(int n);                  // answers in n-byte pieces, a few ms apart (0: whole)
    void setDelay(int ms);                 // every answer starts this late
    void sendRaw(const QByteArray &bytes); // these bytes on every stream
    // Pulls the serial cable: the pty closes (the link disappears) and comes back at the
    // same path after ms milliseconds.
    void unplug() { unplug(kDefaultUnplugMs); }
    void unplug(int ms);

signals:
    void requestReceived(const QByteArray &frame);
    void templateStored(quint32 user, int index); // by an upload; index counts from 1
    void userDeleted(quint32 user);               // every delete request carried out
    void enrolled(quint32 user);
    void serialOpened(const QString &linkPath); // also after an unplug

private:
    struct Stream
    {
        OutputPacer *pacer = nullptr;
        QTimer *idle = nullptr;
    };

    void setUpStream(int session, QObject *owner, std::function<void(const QByteArray &)> sink);
    void closeStream(int session);
    void closeSerial();
    void feed(int session, const QByteArray &bytes);
    void streamIdle(int session);
    void sendTo(int session, const QByteArray &bytes);
    void handle(const QList<UnitProtocol::Event> &events);
    void readDatagrams();
    void log(const QString &line) const;

    Options m_options;
    UnitProtocol m_engine;
    QString m_error;
    bool m_silent = false;
    int m_split = 0;
    int m_delay = 0;
    QHash<int, Stream> m_streams;

    PseudoTerminal *m_pty = nullptr;
    QString m_serialLink;
    int m_serialSession = 0;
    QTimer m_replug;

    QTcpServer *m_tcp = nullptr;
    QHash<QTcpSocket *, int> m_tcpSessions;

    QUdpSocket *m_udp = nullptr;
    QHash<QString, int> m_udpSessions; // sender "address port" -> session

    QTimer m_autoEnroll;
};
