#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Hands bytes to a sink the way a unit's line would deliver them: at once, after a delay, in
// small pieces a few milliseconds apart, or at the pace of an 8N1 line of a given baud rate.
// With no pacing set, send() reaches the sink before it returns.
class OutputPacer : public QObject
{
    Q_OBJECT
public:
    using Sink = std::function<void(const QByteArray &)>;

    explicit OutputPacer(Sink sink, QObject *parent = nullptr);

    void setBaud(int baud);   // 0: no pacing; N: N/10 bytes per second
    void setSplit(int bytes); // 0: whole; N: pieces of N bytes, kPieceGapMs apart
    void setDelay(int ms);    // every answer waits this long before it starts
    void send(const QByteArray &bytes);
    void clear(); // forget what is queued or delayed
    qsizetype queued() const { return m_queue.size(); }

    static constexpr int kPieceGapMs = 2;

private:
    void enqueue(const QByteArray &bytes);
    void pump();

    Sink m_sink;
    int m_baud = 0;
    int m_split = 0;
    int m_delay = 0;
    quint64 m_generation = 0; // delayed sends of an older generation were cleared
    QByteArray m_queue;
    QTimer m_timer;
    QElapsedTimer m_clock; // start of the current paced run
    qint64 m_sentInRun = 0;
};
