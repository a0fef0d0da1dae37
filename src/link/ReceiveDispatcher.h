#pragma once

#include <QByteArray>
#include <QObject>
#include <QProperty>
#include <QString>

class ActivityLog;
class BannerLines;
class QTimer;
class SerialLink;
class StationState;
class TcpLink;
class UserNumber;
class Waits;

// The receive poll: reads what the selected link has delivered and either collects it raw
// for a caller waiting on a long answer (bulk collection) or reassembles frames and reacts
// to the short replies it knows.
//
// Scheduling: the poll runs as soon as a link signals new bytes, and from the SERIAL_RX
// timer as a once-a-second safety net; both only while SERIAL_RX is enabled, so a part that
// reads the link itself stops the poll by stopping that timer. Whatever arrived meanwhile is
// read as soon as SERIAL_RX is started again, and as soon as a link is (re)opened, without
// waiting for the safety net. An idle station therefore wakes about once a second, with the
// window's other one-second timers, not a thousand times a second.
class ReceiveDispatcher : public QObject
{
    Q_OBJECT
public:
    // Largest frame-reassembly buffer; a stream that never brings a frame start at a
    // chunk's end keeps only its newest bytes.
    static constexpr qsizetype kMaxPendingBytes = 64 * 1024;
    // Most bytes one long answer collects (RX_EMPREINTE): a 16-bit data length and the frames
    // around it. A unit that goes on sending cannot make the station hold more.
    static constexpr qsizetype kMaxCollectedBytes = 0xFFFF + 30;
    // Interval of the safety-net poll: the one second of the window's other timers, so that
    // an idle station wakes once for all of them.
    static constexpr int kSafetyPollMs = 1000;
    // TRELVANE_LOAD while frames are reassembled and dispatched (the design's True); any
    // other value means a part collects a long answer raw.
    static constexpr qint16 kDispatchFrames = -1;

    ReceiveDispatcher(StationState &state, ActivityLog &activityLog, BannerLines &bannerLines,
                      Waits &waits, SerialLink &serial, TcpLink &tcp, QTimer &pollTimer);

    // One poll: read, trace, collect or reassemble, dispatch.
    void SERIAL_RX_Timer();

signals:
    // A user frame arrived in read mode: the user number as decimal text.
    void userRecognised(const QString &userNumber);
    // A user frame arrived in enroll mode: the unit enrolled a template, which the backup
    // trigger is armed to save.
    void enrolledUserHeard();

private:
    void onLinkReadyRead();
    // Runs one poll from the event loop at once, after the current event.
    void pollSoon();
    void reassemble(const QByteArray &chunk);
    void dispatch(const QByteArray &frame);
    void userFrame(const UserNumber &userNumber);

    void WRITE_LOG(const QString &text);
    void AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER);

    StationState &m_state;
    ActivityLog &m_activityLog;
    BannerLines &m_bannerLines;
    Waits &m_waits;
    SerialLink &m_serial;
    TcpLink &m_tcp;
    QTimer &m_pollTimer; // SERIAL_RX
    bool m_polling = false;
    bool m_arrivedDuringPoll = false; // bytes signalled while a poll was running
    bool m_pollQueued = false;
    QPropertyNotifier m_pollEnabled; // SERIAL_RX started or stopped
};
