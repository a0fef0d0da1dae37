#include "config/LineReader.h"

std::optional<QByteArray> LineReader::next()
{
    if (m_pos >= m_buffer.size() && !fill())
        return std::nullopt;
    QByteArray line;
    for (;;) {
        qsizetype end = m_pos;
        while (end < m_buffer.size() && m_buffer[end] != '\r' && m_buffer[end] != '\n')
            ++end;
        keep(line, end);
        if (end < m_buffer.size()) {
            const bool cr = m_buffer[end] == '\r';
            m_pos = end + 1;
            if (cr && (m_pos < m_buffer.size() || fill()) && m_buffer[m_pos] == '\n')
                ++m_pos;
            return line;
        }
        m_pos = end;
        if (!fill())
            return line; // last line, without a line end
    }
}

void LineReader::keep(QByteArray &line, qsizetype end) const
{
    const qsizetype room = m_maxBytes - line.size();
    if (room > 0)
        line.append(m_buffer.constData() + m_pos, qMin(room, end - m_pos));
}

bool LineReader::fill()
{
    m_buffer = m_in.read(kChunk);
    m_pos = 0;
    return !m_buffer.isEmpty();
}
