#include "OutputPacer.h"

#include <algorithm>

OutputPacer::OutputPacer(Sink sink, QObject *parent) : QObject(parent), m_sink(std::move(sink))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kPieceGapMs);
    connect(&m_timer, &QTimer::timeout, this, &OutputPacer::pump);
}

void OutputPacer::setBaud(int baud)
{
    m_baud = std::max(baud, 0);
}

void OutputPacer::setSplit(int bytes)
{
    m_split = std::max(bytes, 0);
}

void OutputPacer::setDelay(int ms)
{
    m_delay = std::max(ms, 0);
}

void OutputPacer::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_delay > 0) {
        const quint64 generation = m_generation;
        QTimer::singleShot(m_delay, Qt::PreciseTimer, this, [this, bytes, generation] {
            if (generation == m_generation)
                enqueue(bytes);
        });
        return;
    }
    enqueue(bytes);
}

void OutputPacer::clear()
{
    ++m_generation;
    m_queue.clear();
    m_timer.stop();
}

void OutputPacer::enqueue(const QByteArray &bytes)
{
    if (m_baud == 0 && m_split == 0 && m_queue.isEmpty()) {
        m_sink(bytes);
        return;
    }
    if (m_queue.isEmpty()) {
        m_clock.start();
        m_sentInRun = 0;
    }
    m_queue.append(bytes);
    if (!m_timer.isActive()) {
        pump();
        if (!m_queue.isEmpty())
            m_timer.start();
    }
}

void OutputPacer::pump()
{
    qsizetype chunk = m_queue.size();
    if (m_split > 0)
        chunk = std::min<qsizetype>(chunk, m_split);
    if (m_baud > 0) {
        // A byte of an 8N1 line takes ten bit times; a byte counts as sent once complete.
        const qint64 due = m_clock.elapsed() * m_baud / 10000;
        chunk = std::min<qsizetype>(chunk, std::max<qint64>(due - m_sentInRun, 0));
    }
    if (chunk > 0) {
        const QByteArray piece = m_queue.left(chunk);
        m_queue.remove(0, chunk);
        m_sentInRun += chunk;
        m_sink(piece);
    }
    if (m_queue.isEmpty())
        m_timer.stop();
}
