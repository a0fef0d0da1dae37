#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class F_MAIN;

// The receive poll: reads what the selected link has delivered and either collects it raw
// for a caller waiting on a long answer (bulk collection) or reassembles frames and reacts
// to the short replies it knows.
//
// Scheduling: the poll runs as soon as a link signals new bytes, and from the SERIAL_RX
// timer as a slow safety net; both only while SERIAL_RX is enabled, so a part that reads
// the link itself stops the poll by stopping that timer. An idle station therefore wakes
// only for the safety-net timer, not a thousand times a second.
class ReceiveDispatcher : public QObject
{
    Q_OBJECT
public:
    // Largest frame-reassembly buffer; a stream that never brings a frame start at a
    // chunk's end keeps only its newest bytes.
    static constexpr qsizetype kMaxPendingBytes = 64 * 1024;
    // Interval of the safety-net poll.
    static constexpr int kSafetyPollMs = 100;

    explicit ReceiveDispatcher(F_MAIN &w);

    // One poll: read, trace, collect or reassemble, dispatch.
    void SERIAL_RX_Timer();

signals:
    // A user frame arrived in read mode: the user number as decimal text.
    void userRecognised(const QString &userNumber);

private:
    void onLinkReadyRead();
    void reassemble(const QByteArray &chunk);
    void dispatch(const QByteArray &frame);
    void userFrame(const QByteArray &frame);

    F_MAIN &w;
    bool m_polling = false;
};
